// The INI reader is header-only; its implementation is compiled here, once.
#define SI_IMPLEMENTATION
#include "config/LauncherConfig.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/Platform.h"
#include "base/Text.h"
#include "config/ConfigSchema.h"
#include "config/Png.h"

namespace launcher {

namespace {
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
}  // namespace

LauncherConfig::LauncherConfig() : ini(false, false, false) {}
LauncherConfig::~LauncherConfig() = default;

void LauncherConfig::Show(std::string_view utf8Message) const {
  if (sink_) {
    sink_(Gbk(utf8Message));
  }
}

bool LauncherConfig::OpenArchive() { return OpenArchiveAt(OwnExecutablePath()); }

bool LauncherConfig::OpenArchiveAt(const std::string& executablePath) {
  archive.reset();
  location_ = {};
  archiveError_ = ZipOpenError::kNone;
  switch (file_.Open(executablePath)) {
    case MappedFile::Status::kCannotOpen:
      return false;
    case MappedFile::Status::kCannotMap:
      Show("CreateMapFile fail");
      return false;
    case MappedFile::Status::kOk:
      break;
  }
  location_ = LocateArchive(file_.Data(), file_.Size());
  if (location_.source == ArchiveStartSource::kNone || location_.start >= file_.Size()) {
    Show("没有附加配置文件,请打包配置文件");
    return false;
  }
  archive = OpenZipFromMemory(file_.Data() + location_.start, file_.Size() - location_.start,
                              &archiveError_);
  if (!archive) {
    Show("OpenZip失败");
    return false;
  }
  return true;
}

bool LauncherConfig::ReadEntry(std::string_view name, std::vector<std::uint8_t>* bytes) const {
  ArchiveEntryInfo info;
  if (!archive || FindArchiveEntry(archive.get(), name, &info) != 0) {
    return false;
  }
  bytes->assign(info.uncompressedSize, 0);
  long n = ReadArchiveEntry(archive.get(), info, bytes->data(), bytes->size());
  // A failed or short inflation counts as a missing entry.
  return n == static_cast<long>(info.uncompressedSize);
}

bool LauncherConfig::LoadConfigFile(std::string_view entryName) {
  std::vector<std::uint8_t> bytes;
  if (!ReadEntry(entryName, &bytes)) {
    Show("读取ini文件失败");
    return false;
  }
  return LoadConfigText(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool LauncherConfig::LoadConfigText(std::string_view bytes) {
  std::string converted;
  // Operators save cg.txt as UTF-8 from common editors; with its byte-order mark it is read as
  // UTF-8 and brought to the model's code page, instead of losing its first section.
  if (bytes.substr(0, 3) == kUtf8Bom) {
    auto gbk = Utf8ToGbk(bytes.substr(3));
    if (gbk) {
      converted = std::move(*gbk);
      bytes = converted;
      wasUtf8_ = true;
    }
  }
  if (ini.LoadData(bytes.data(), bytes.size()) < 0) {
    Show("装载ini文件失败");
    return false;
  }
  return true;
}

const char* LauncherConfig::GetString(const char* section, const char* key,
                                      const char* defaultValue) const {
  return ini.GetValue(section, key, defaultValue);
}

int ParseConfigInt(const char* text) {
  errno = 0;
  long long v = std::strtoll(text, nullptr, 10);
  if (v > INT_MAX) {
    return INT_MAX;
  }
  if (v < INT_MIN) {
    return INT_MIN;
  }
  return static_cast<int>(v);
}

int LauncherConfig::GetInt(const char* section, const char* key, int defaultValue) const {
  const char* value = ini.GetValue(section, key, nullptr);
  if (!value) {
    return defaultValue;
  }
  return ParseConfigInt(value);
}

std::string LauncherConfig::GetText(const char* section, const char* key, const char* defaultValue,
                                    std::size_t width) {
  std::string_view value = GetString(section, key, defaultValue);
  std::size_t kept = GbkPrefixLength(value, width - 1);
  if (kept < value.size()) {
    notes_.push_back({ConfigNote::Kind::kValueCut, section, key, width});
  }
  return std::string(value.substr(0, kept));
}

int LauncherConfig::GetCount(const char* key, int maxCount) {
  int count = GetInt(kGlobalSection, key, 0);
  if (count > maxCount) {
    notes_.push_back({ConfigNote::Kind::kCountCut, kGlobalSection, key});
    return maxCount;
  }
  return count;
}

template <typename Record>
void LauncherConfig::ReadMember(const char* section, const ConfigKey& key, Record* record) {
  if constexpr (kHasTexts<Record>) {
    if (key.type == ConfigType::kText) {
      record->*std::get<std::string Record::*>(key.member) =
          GetText(section, key.key, key.text, key.width);
      return;
    }
  }
  record->*std::get<int Record::*>(key.member) = GetInt(section, key.key, key.number);
}

template <typename Record>
void LauncherConfig::ReadList(const ConfigList& list, int count, std::vector<Record>* records) {
  for (int n = 1; n <= count; ++n) {
    std::string section = ConfigSectionName(list, n);
    Record record;
    for (const ConfigKey& key : list.keys) {
      ReadMember(section.c_str(), key, &record);
    }
    records->push_back(std::move(record));
  }
}

bool LauncherConfig::ParseConfig() {
  std::vector<int> counts(ConfigLists().size());
  for (const ConfigKey& key : GlobalConfigKeys()) {
    switch (key.target) {
      case ConfigTarget::kMember:
        ReadMember(kGlobalSection, key, &settings);
        break;
      case ConfigTarget::kGameHeader:
        gameheader = GetText(kGlobalSection, key.key, key.text, key.width);
        break;
      case ConfigTarget::kEdgeImages:
        for (int n = 1; n <= key.repeat; ++n) {
          edgeImages.push_back(GetInt(kGlobalSection, ConfigKeyName(key, n).c_str(), key.number));
        }
        break;
      case ConfigTarget::kListCount:
        if (const ConfigList& list = GetConfigList(key.list); list.countReadWithGlobals) {
          counts[static_cast<std::size_t>(key.list)] = GetCount(key.key, list.maxCount);
        }
        break;
      case ConfigTarget::kUnread:
        break;
    }
  }
  for (const ConfigList& list : ConfigLists()) {
    if (list.required && counts[static_cast<std::size_t>(list.id)] < 1) {
      return false;
    }
  }

  auto read = [&](ConfigListId id, auto* records) {
    const ConfigList& list = GetConfigList(id);
    const int count = list.countReadWithGlobals ? counts[static_cast<std::size_t>(id)]
                                                : GetCount(list.countKey, list.maxCount);
    ReadList(list, count, records);
  };
  read(ConfigListId::kLinks, &links);
  read(ConfigListId::kMenus, &menus);
  read(ConfigListId::kGamePics, &gamePics);
  read(ConfigListId::kGameButtons, &gameButtons);
  return true;
}

bool LauncherConfig::LoadImageFromArchive(std::string_view entryName, Bitmap* picture) const {
  std::vector<std::uint8_t> bytes;
  if (!ReadEntry(entryName, &bytes)) {
    Show("读取图片失败");
    return false;
  }
  return DecodePng(bytes.data(), bytes.size(), picture);
}

bool LauncherConfig::LoadGdiplusImage(std::string_view entryName,
                                      std::unique_ptr<Bitmap>* picture) const {
  std::vector<std::uint8_t> bytes;
  if (!ReadEntry(entryName, &bytes)) {
    Show("读取图片失败");
    return false;
  }
  auto decoded = std::make_unique<Bitmap>();
  DecodePng(bytes.data(), bytes.size(), decoded.get());  // undecodable: an empty picture
  *picture = std::move(decoded);
  return true;
}

}  // namespace launcher
