#include "pack/Package.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/Text.h"
#include "pack/Files.h"

namespace launcher::pack {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool HasNonAscii(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

TextForm DetectForm(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Bom)) {
    return TextForm::kUtf8WithBom;
  }
  if (HasNonAscii(bytes) && IsValidUtf8(bytes)) {
    return TextForm::kUtf8;
  }
  return TextForm::kGbk;
}

// Bytes of the UTF-8 sequence that a lead byte announces (1 for a byte that leads none).
std::size_t SequenceLength(unsigned char lead) {
  if ((lead & 0xE0) == 0xC0) {
    return 2;
  }
  if ((lead & 0xF0) == 0xE0) {
    return 3;
  }
  if ((lead & 0xF8) == 0xF0) {
    return 4;
  }
  return 1;
}

// One line's conversion with every character GBK cannot hold (and every byte that is not
// UTF-8) replaced by "?", so the rest of the text can still be checked.
std::string ConvertReplacing(std::string_view utf8, std::string* offending) {
  std::string out;
  while (!utf8.empty()) {
    std::size_t bad = 0;
    if (auto all = Utf8ToGbk(utf8, &bad)) {
      out += *all;
      break;
    }
    if (bad >= utf8.size()) {
      break;
    }
    out += Utf8ToGbk(utf8.substr(0, bad)).value_or("");
    out += '?';
    std::size_t skip =
        std::min(SequenceLength(static_cast<unsigned char>(utf8[bad])), utf8.size() - bad);
    std::string_view character = utf8.substr(bad, skip);
    *offending += IsValidUtf8(character) ? character : std::string_view("?");
    utf8.remove_prefix(bad + skip);
  }
  return out;
}

enum class FileKind { kRegular, kFolder, kLinkOutside, kSpecial, kTooLarge };

// What a name in the skin folder is. A symbolic link counts as what it leads to, as long as
// that lies inside the folder: a link to a private file elsewhere is never packed.
FileKind Classify(const fs::path& root, const fs::path& file) {
  std::error_code error;
  fs::file_status status = fs::symlink_status(file, error);
  if (error) {
    return FileKind::kSpecial;
  }
  if (fs::is_symlink(status)) {
    const fs::path target = fs::canonical(file, error);
    if (error) {
      return FileKind::kLinkOutside;  // dangling, or a loop
    }
    const fs::path inside = target.lexically_relative(root);
    if (inside.empty() || *inside.begin() == "..") {
      return FileKind::kLinkOutside;
    }
    status = fs::status(target, error);
    if (error) {
      return FileKind::kLinkOutside;
    }
  }
  if (fs::is_directory(status)) {
    return FileKind::kFolder;
  }
  if (!fs::is_regular_file(status)) {
    return FileKind::kSpecial;
  }
  const std::uintmax_t size = fs::file_size(file, error);
  if (error || size > kMaxEntrySize) {
    return FileKind::kTooLarge;
  }
  return FileKind::kRegular;
}

// One entry whole, or nothing when it does not inflate to its stated size. The size is bounded
// by the reader (kMaxEntrySize).
std::optional<std::string> InflateEntry(ZipArchive* archive, const ArchiveEntryInfo& info) {
  std::string bytes(info.uncompressedSize, '\0');
  long n = ReadArchiveEntry(archive, info, bytes.data(), bytes.size());
  if (n != static_cast<long>(info.uncompressedSize)) {
    return std::nullopt;
  }
  return bytes;
}

// The launcher's view of a stored cg.txt: a byte-order mark means UTF-8, converted when it
// can be; anything else is taken as GBK bytes.
std::string LauncherText(std::string_view stored) {
  if (stored.starts_with(kUtf8Bom)) {
    if (auto gbk = Utf8ToGbk(stored.substr(kUtf8Bom.size()))) {
      return *gbk;
    }
  }
  return std::string(stored);
}

}  // namespace

PreparedText PrepareConfigText(std::string_view fileBytes) {
  PreparedText out;
  out.form = DetectForm(fileBytes);
  if (out.form == TextForm::kGbk) {
    out.gbk = std::string(fileBytes);
    return out;
  }
  std::string_view utf8 = fileBytes;
  if (out.form == TextForm::kUtf8WithBom) {
    utf8.remove_prefix(kUtf8Bom.size());
  }
  // Line by line, so that every line holding an unconvertible character can be named. Line
  // ends are ASCII and survive the conversion, so the numbers hold for the GBK text too.
  int line = 1;
  while (!utf8.empty()) {
    std::size_t end = utf8.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      end = utf8.size();
    } else {
      end += (utf8[end] == '\r' && end + 1 < utf8.size() && utf8[end + 1] == '\n') ? 2 : 1;
    }
    std::string_view text = utf8.substr(0, end);
    if (auto gbk = Utf8ToGbk(text)) {
      out.gbk += *gbk;
    } else {
      UnconvertibleLine bad{line, {}};
      out.gbk += ConvertReplacing(text, &bad.characters);
      out.unconvertible.push_back(std::move(bad));
    }
    utf8.remove_prefix(end);
    ++line;
  }
  return out;
}

const PackageEntry* Package::Find(std::string_view name) const {
  for (const PackageEntry& entry : entries) {
    if (entry.name == name) {
      return entry.state == PackageEntry::State::kRead ? &entry : nullptr;
    }
  }
  return nullptr;
}

std::optional<std::string> Package::Read(const PackageEntry& entry) const {
  if (entry.state != PackageEntry::State::kRead) {
    return std::nullopt;
  }
  if (source == Source::kSkinFolder) {
    return entry.bytes;
  }
  return InflateEntry(config->GetArchive(), entry.info);
}

bool Package::Damaged() const {
  if (!listingComplete) {
    return true;
  }
  return std::any_of(entries.begin(), entries.end(), [](const PackageEntry& entry) {
    return entry.state == PackageEntry::State::kCorrupt ||
           entry.state == PackageEntry::State::kRefused;
  });
}

std::string Package::Describe(std::string_view entryName) const {
  if (source == Source::kExecutable) {
    return path + "(" + std::string(entryName) + ")";
  }
  std::string_view file = entryName;
  if (file.starts_with(kEntryPrefix)) {
    file.remove_prefix(kEntryPrefix.size());
  }
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') {
    folder.pop_back();
  }
  return folder + "/" + std::string(file);
}

namespace {

void LoadConfig(Package* package) {
  const PackageEntry* entry = package->Find(kConfigEntry);
  package->hasConfig = entry != nullptr;
  if (!entry) {
    return;
  }
  package->scan = ScanIni(package->configText);
  if (package->configLoaded) {
    package->configParsed = package->config->ParseConfig();
  }
}

}  // namespace

PackageResult ReadSkinFolder(const std::string& path) {
  PackageResult result;
  std::error_code error;
  if (!fs::is_directory(path, error)) {
    result.error = path + ": not a folder";
    return result;
  }
  Package package;
  package.source = Package::Source::kSkinFolder;
  package.path = path;

  std::vector<std::string> files;
  std::error_code rootError;
  const fs::path root = fs::canonical(path, rootError);
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    switch (Classify(root, it->path())) {
      case FileKind::kRegular:
        files.push_back(std::move(name));
        break;
      case FileKind::kFolder:
        package.skipped.push_back(std::move(name));
        break;
      case FileKind::kLinkOutside:
        package.refused.push_back({std::move(name), RefusedFile::Reason::kLinkOutside});
        break;
      case FileKind::kSpecial:
        package.refused.push_back({std::move(name), RefusedFile::Reason::kSpecial});
        break;
      case FileKind::kTooLarge:
        package.refused.push_back({std::move(name), RefusedFile::Reason::kTooLarge});
        break;
    }
  }
  if (error || rootError) {
    result.error = path + ": " + (error ? error : rootError).message();
    return result;
  }
  std::sort(package.refused.begin(), package.refused.end(),
            [](const RefusedFile& a, const RefusedFile& b) { return a.name < b.name; });
  // Sorted, so the same folder always gives the same package, byte for byte.
  std::sort(files.begin(), files.end());
  std::sort(package.skipped.begin(), package.skipped.end());

  for (const std::string& file : files) {
    PackageEntry entry;
    entry.name = std::string(kEntryPrefix) + file;
    std::string why;
    if (!ReadRegularFile((fs::path(path) / file).string(), kMaxEntrySize, &entry.bytes, &why)) {
      result.error = package.Describe(entry.name) + ": cannot be read (" + why + ")";
      return result;
    }
    entry.size = entry.bytes.size();
    if (entry.name == kConfigEntry) {
      PreparedText prepared = PrepareConfigText(entry.bytes);
      package.configForm = prepared.form;
      package.unconvertible = std::move(prepared.unconvertible);
      entry.bytes = std::move(prepared.gbk);
      entry.size = entry.bytes.size();
      package.configText = entry.bytes;
      package.configLoaded = package.config->LoadConfigText(package.configText);
    }
    package.entries.push_back(std::move(entry));
  }
  LoadConfig(&package);
  result.package = std::move(package);
  return result;
}

PackageResult ReadPackedExecutable(const std::string& path) {
  PackageResult result;
  std::error_code error;
  if (!fs::is_regular_file(path, error)) {
    result.error = path + ": not a file";
    return result;
  }
  Package package;
  package.source = Package::Source::kExecutable;
  package.path = path;
  LauncherConfig& config = *package.config;
  config.SetMessageSink(
      [&package](std::string_view gbk) { package.openMessages.push_back(GbkToUtf8(gbk)); });
  package.archiveOpen = config.OpenArchiveAt(path);
  config.SetMessageSink(nullptr);
  package.location = config.GetArchiveLocation();
  if (!package.archiveOpen && package.openMessages.empty()) {
    result.error = path + ": cannot be opened";
    return result;
  }
  package.archiveError = config.GetArchiveError();
  if (package.archiveOpen) {
    ZipArchive* archive = config.GetArchive();
    std::vector<ArchiveListing> listing;
    package.listingComplete = ListArchive(archive, &listing);
    package.entries.reserve(listing.size());
    for (const ArchiveListing& item : listing) {
      PackageEntry entry;
      entry.name = item.name;
      entry.size = item.info.uncompressedSize;
      entry.compressedSize = item.info.compressedSize;
      entry.info = item.info;
      // Read the way the launcher looks an entry up, so that what counts as missing here is
      // what the launcher finds missing. Each entry is inflated once to see that it can be,
      // and let go at once.
      ArchiveEntryInfo found;
      if (FindArchiveEntry(archive, item.name, &found) != 0) {
        entry.state = PackageEntry::State::kRefused;
      } else if (found.index != item.info.index) {
        entry.state = PackageEntry::State::kShadowed;
      } else if (!InflateEntry(archive, found)) {
        entry.state = PackageEntry::State::kCorrupt;
      }
      package.entries.push_back(std::move(entry));
    }
    if (const PackageEntry* stored = package.Find(kConfigEntry)) {
      std::optional<std::string> bytes = package.Read(*stored);
      package.configForm = DetectForm(bytes.value_or(""));
      package.configText = LauncherText(bytes.value_or(""));
    }
    package.configLoaded = config.LoadConfigFile(kConfigEntry);
  }
  LoadConfig(&package);
  result.package = std::move(package);
  return result;
}

PackageResult ReadPackage(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error) ? ReadSkinFolder(path) : ReadPackedExecutable(path);
}

}  // namespace launcher::pack
