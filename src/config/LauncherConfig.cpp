// The INI reader is header-only; its implementation is compiled here, once.
#define SI_IMPLEMENTATION
#include "config/LauncherConfig.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/Platform.h"
#include "base/Text.h"
#include "config/Png.h"

namespace launcher {

namespace {
constexpr char kGlobal[] = "global";
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
}  // namespace

LauncherConfig::LauncherConfig() : ini(false, false, false) {}
LauncherConfig::~LauncherConfig() = default;

void LauncherConfig::Show(std::string_view utf8Message) const {
  if (sink_) sink_(Gbk(utf8Message));
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
  if (!archive || FindArchiveEntry(archive.get(), name, &info) != 0) return false;
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
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

int LauncherConfig::GetInt(const char* section, const char* key, int defaultValue) const {
  const char* value = ini.GetValue(section, key, nullptr);
  if (!value) return defaultValue;
  return ParseConfigInt(value);
}

std::string LauncherConfig::GetText(const char* section, const char* key, const char* defaultValue,
                                    std::size_t width) {
  std::string_view value = GetString(section, key, defaultValue);
  std::size_t kept = GbkPrefixLength(value, width - 1);
  if (kept < value.size()) notes_.push_back({ConfigNote::Kind::kValueCut, section, key});
  return std::string(value.substr(0, kept));
}

int LauncherConfig::GetCount(const char* key) {
  int count = GetInt(kGlobal, key, 0);
  if (count > kMaxListCount) {
    notes_.push_back({ConfigNote::Kind::kCountCut, kGlobal, key});
    return kMaxListCount;
  }
  return count;
}

bool LauncherConfig::ParseConfig() {
  GlobalSettings& s = settings;
  gameheader = GetText(kGlobal, "gameheader", "", field::kGameHeader);

  const int linkCount = GetCount("linkCount");
  s.left = GetInt(kGlobal, "left", 0);
  s.right = GetInt(kGlobal, "right", 0);
  s.top = GetInt(kGlobal, "top", 0);
  s.bottom = GetInt(kGlobal, "bottom", 0);
  s.topLeftImage = GetInt(kGlobal, "topLeftImage", 0);
  s.topRightImage = GetInt(kGlobal, "topRightImage", 0);
  s.bottomLeftImage = GetInt(kGlobal, "bottomLeftImage", 0);
  s.bottomRight = GetInt(kGlobal, "bottomRight", 0);
  s.topImage = GetInt(kGlobal, "topImage", 0);
  s.leftImage = GetInt(kGlobal, "leftImage", 0);
  s.htmlHeadHeight = GetInt(kGlobal, "htmlHeadHeight", 0);
  s.minGameWidth = GetInt(kGlobal, "minGameWidth", 800);
  s.minGameHeight = GetInt(kGlobal, "minGameHeight", 600);

  for (int n = 1; n <= 8; ++n) {
    std::string key = "edgeImage" + std::to_string(n);
    edgeImages.push_back(GetInt(kGlobal, key.c_str(), 9));
  }

  s.titleColor = GetInt(kGlobal, "titleColor", 16777215);
  s.loginCenterColor = GetInt(kGlobal, "loginCenterColor", 16777215);
  s.title = GetText(kGlobal, "title", "", field::kTitle);
  s.firstUrl = GetText(kGlobal, "firstUrl", "", field::kFirstUrl);
  s.notityTitle = GetText(kGlobal, "notityTitle", "", field::kShort);
  s.notifyCloseTitle = GetText(kGlobal, "notifyCloseTitle", "", field::kShort);
  s.clearFlashTitle = GetText(kGlobal, "clearFlashTitle", "", field::kShort);
  s.clearFlashMsg = GetText(kGlobal, "clearFlashMsg", "", field::kMessage);
  s.closeMsg = GetText(kGlobal, "closeMsg", "", field::kShort);
  s.versionUrl = GetText(kGlobal, "versionUrl", "", field::kMessage);
  s.exeUrl = GetText(kGlobal, "exeUrl", "", field::kMessage);
  s.server = GetText(kGlobal, "server", "", field::kShort);
  s.version = GetText(kGlobal, "version", "", field::kShort);
  s.port = GetInt(kGlobal, "port", 80);
  const int menuCount = GetCount("menuCount");
  s.logx = GetInt(kGlobal, "logx", 0);
  s.logy = GetInt(kGlobal, "logy", 0);
  s.titlex = GetInt(kGlobal, "titlex", 0);
  s.titley = GetInt(kGlobal, "titley", 0);
  s.titleWidth = GetInt(kGlobal, "titleWidth", 0);
  s.titleHeight = GetInt(kGlobal, "titleHeight", 0);

  if (linkCount < 1) return false;

  for (int n = 1; n <= linkCount; ++n) {
    std::string section = "link" + std::to_string(n);
    const char* sec = section.c_str();
    LinkInfo link;
    link.url = GetText(sec, "url", "_blank", field::kUrl);
    link.x = GetInt(sec, "x", 0);
    link.y = GetInt(sec, "y", 0);
    link.width = GetInt(sec, "width", 0);
    link.height = GetInt(sec, "height", 0);
    link.type = GetInt(sec, "type", 0);
    links.push_back(std::move(link));
  }

  for (int n = 1; n <= menuCount; ++n) {
    std::string section = "menu" + std::to_string(n);
    const char* sec = section.c_str();
    MenuInfo menu;
    menu.title = GetText(sec, "title", "", field::kCaption);
    menu.type = GetInt(sec, "type", 0);
    menu.shortCut = GetInt(sec, "shortCut", 0);
    menus.push_back(std::move(menu));
  }

  const int picCount = GetCount("picCount");
  for (int n = 1; n <= picCount; ++n) {
    std::string section = "gamePic" + std::to_string(n);
    const char* sec = section.c_str();
    GamePicInfo pic;
    pic.x = GetInt(sec, "x", 0);
    pic.y = GetInt(sec, "y", 0);
    pic.width = GetInt(sec, "width", 0);
    pic.height = GetInt(sec, "height", 0);
    pic.interval = GetInt(sec, "interval", 0);
    pic.count = GetInt(sec, "count", 0);
    gamePics.push_back(pic);
  }

  const int gameButtonCount = GetCount("gameButtonCount");
  for (int n = 1; n <= gameButtonCount; ++n) {
    std::string section = "gamebutton" + std::to_string(n);
    const char* sec = section.c_str();
    GameButtonInfo button;
    button.x = GetInt(sec, "x", 0);
    button.y = GetInt(sec, "y", 0);
    button.type = GetInt(sec, "type", 0);
    button.image = GetInt(sec, "image", 0);
    button.shortCut = GetInt(sec, "shortCut", 0);
    button.title = GetText(sec, "title", "", field::kCaption);
    button.url = GetText(sec, "url", "", field::kUrl);
    button.tips = GetText(sec, "tips", "", field::kCaption);
    button.color = GetInt(sec, "color", 16777215);
    gameButtons.push_back(std::move(button));
  }
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
