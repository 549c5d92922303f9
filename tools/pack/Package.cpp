#include "pack/Package.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "ui/Text.h"

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
  if (HasNonAscii(bytes) && ui::IsValidUtf8(bytes)) {
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
    if (auto all = ui::Utf8ToGbk(utf8, &bad)) {
      out += *all;
      break;
    }
    if (bad >= utf8.size()) {
      break;
    }
    out += ui::Utf8ToGbk(utf8.substr(0, bad)).value_or("");
    out += '?';
    std::size_t skip =
        std::min(SequenceLength(static_cast<unsigned char>(utf8[bad])), utf8.size() - bad);
    std::string_view character = utf8.substr(bad, skip);
    *offending += ui::IsValidUtf8(character) ? character : std::string_view("?");
    utf8.remove_prefix(bad + skip);
  }
  return out;
}

bool ReadWholeFile(const fs::path& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The launcher's view of a stored cg.txt: a byte-order mark means UTF-8, converted when it
// can be; anything else is taken as GBK bytes.
std::string LauncherText(std::string_view stored) {
  if (stored.starts_with(kUtf8Bom)) {
    if (auto gbk = ui::Utf8ToGbk(stored.substr(kUtf8Bom.size()))) {
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
    if (auto gbk = ui::Utf8ToGbk(text)) {
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
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    std::error_code kindError;
    (it->is_regular_file(kindError) ? files : package.skipped).push_back(std::move(name));
  }
  if (error) {
    result.error = path + ": " + error.message();
    return result;
  }
  // Sorted, so the same folder always gives the same package, byte for byte.
  std::sort(files.begin(), files.end());
  std::sort(package.skipped.begin(), package.skipped.end());

  for (const std::string& file : files) {
    PackageEntry entry;
    entry.name = std::string(kEntryPrefix) + file;
    if (!ReadWholeFile(fs::path(path) / file, &entry.bytes)) {
      result.error = package.Describe(entry.name) + ": cannot be read";
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
      [&package](std::string_view gbk) { package.openMessages.push_back(ui::GbkToUtf8(gbk)); });
  package.archiveOpen = config.OpenArchiveAt(path);
  config.SetMessageSink(nullptr);
  package.location = config.GetArchiveLocation();
  if (!package.archiveOpen && package.openMessages.empty()) {
    result.error = path + ": cannot be opened";
    return result;
  }
  if (package.archiveOpen) {
    ZipArchive* archive = config.GetArchive();
    std::vector<ArchiveListing> listing;
    package.listingComplete = ListArchive(archive, &listing);
    for (const ArchiveListing& item : listing) {
      PackageEntry entry;
      entry.name = item.name;
      entry.size = item.info.uncompressedSize;
      entry.compressedSize = item.info.compressedSize;
      // Read the way the launcher looks an entry up, so that what counts as missing here is
      // what the launcher finds missing.
      ArchiveEntryInfo found;
      if (FindArchiveEntry(archive, item.name, &found) != 0) {
        entry.state = PackageEntry::State::kRefused;
      } else if (found.index != item.info.index) {
        entry.state = PackageEntry::State::kShadowed;
      } else {
        entry.bytes.resize(found.uncompressedSize);
        long n = ReadArchiveEntry(archive, found, entry.bytes.data(), entry.bytes.size());
        if (n != static_cast<long>(found.uncompressedSize)) {
          entry.state = PackageEntry::State::kCorrupt;
          entry.bytes.clear();
        }
      }
      package.entries.push_back(std::move(entry));
    }
    if (const PackageEntry* stored = package.Find(kConfigEntry)) {
      package.configForm = DetectForm(stored->bytes);
      package.configText = LauncherText(stored->bytes);
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
