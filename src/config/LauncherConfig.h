// The configuration model: the packaged cg.txt, parsed once at start-up and read-only after.
// Texts are kept as the file's bytes (GBK); colours are 0x00BBGGRR values. Which key fills
// which field, with what width and default, is ConfigSchema's.
#pragma once

#include <SimpleIni.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Bitmap.h"
#include "config/Archive.h"

namespace launcher {

using ColorRef = std::int32_t;

struct ConfigKey;
struct ConfigList;

struct LinkInfo {
  std::string url;
  int x = 0, y = 0, width = 0, height = 0, type = 0;
};

struct GamePicInfo {
  int x = 0, y = 0, width = 0, height = 0, interval = 0, count = 0;
};

struct GameButtonInfo {
  int x = 0, y = 0, type = 0, image = 0;
  ColorRef color = 0;
  int shortCut = 0;
  std::string title;
  std::string url;
  std::string tips;
};

struct MenuInfo {
  std::string title;
  int type = 0, shortCut = 0;
};

struct GlobalSettings {
  int top = 0, left = 0, right = 0, bottom = 0;
  int topLeftImage = 0, topRightImage = 0, bottomLeftImage = 0, bottomRight = 0;
  int topImage = 0, leftImage = 0;
  int logx = 0, logy = 0, titlex = 0, titley = 0, titleWidth = 0, titleHeight = 0;
  int htmlHeadHeight = 0;
  std::string title, firstUrl, notityTitle, notifyCloseTitle, clearFlashTitle, clearFlashMsg;
  std::string versionUrl, exeUrl;
  int port = 0;
  std::string server, version, closeMsg;
  ColorRef titleColor = 0, loginCenterColor = 0;
  int minGameWidth = 0, minGameHeight = 0;
};

// The operator's optional icon. The desktop entry shows it when it is a square PNG with a side
// of kMinIconSide to kMaxIconSide pixels; otherwise the built-in icon.
constexpr const char* kIconEntry = "config/icon.png";
constexpr int kMinIconSide = 16;
constexpr int kMaxIconSide = 1024;

// Lists longer than this are cut; no skin comes near it.
constexpr int kMaxListCount = 1000;

// Where a finding about the file was made, for the packer's reports.
struct ConfigNote {
  enum class Kind { kValueCut, kCountCut };
  Kind kind;
  std::string section, key;
  std::size_t width = 0;  // kValueCut: the field's width, with its NUL
};

class LauncherConfig {
 public:
  // Receives each message the steps below show to the user (GBK text). Start-up shows them as
  // boxes captioned "启动失败"; the packer collects them.
  using MessageSink = std::function<void(std::string_view message)>;

  LauncherConfig();
  ~LauncherConfig();
  LauncherConfig(const LauncherConfig&) = delete;
  LauncherConfig& operator=(const LauncherConfig&) = delete;

  void SetMessageSink(MessageSink sink) { sink_ = std::move(sink); }

  // Maps the running executable and opens the archive behind it.
  bool OpenArchive();
  // The same for any packed executable.
  bool OpenArchiveAt(const std::string& executablePath);
  // Where the archive was found (valid after OpenArchive*, also when it failed).
  const ArchiveLocation& GetArchiveLocation() const { return location_; }
  // Why the appended bytes did not open as an archive (kNone when they did, or were not tried).
  ZipOpenError GetArchiveError() const { return archiveError_; }
  ZipArchive* GetArchive() const { return archive.get(); }

  bool LoadConfigFile(std::string_view entryName);
  // Loads configuration text given directly (the packer's skin folders).
  bool LoadConfigText(std::string_view bytes);
  bool ParseConfig();

  // Value readers over the loaded file. GetString's result lives as long as the model.
  const char* GetString(const char* section, const char* key, const char* defaultValue) const;
  int GetInt(const char* section, const char* key, int defaultValue) const;

  const GlobalSettings& GetSettings() const { return settings; }
  const std::string& GetGameHeader() const { return gameheader; }
  const std::vector<LinkInfo>& GetLinks() const { return links; }
  const std::vector<GamePicInfo>& GetGamePics() const { return gamePics; }
  const std::vector<GameButtonInfo>& GetGameButtons() const { return gameButtons; }
  const std::vector<MenuInfo>& GetMenus() const { return menus; }
  const std::vector<int>& GetEdgeImages() const { return edgeImages; }
  // Values the parse had to cut, and counts it had to bound.
  const std::vector<ConfigNote>& GetNotes() const { return notes_; }
  // True when the loaded cg.txt was UTF-8 (it began with a byte-order mark) and was converted.
  bool WasUtf8() const { return wasUtf8_; }
  const CSimpleIniA& GetIni() const { return ini; }

  // Reads an entry whole. False (with nothing shown) when it is missing or corrupt.
  bool ReadEntry(std::string_view name, std::vector<std::uint8_t>* bytes) const;

  // Picture loaders. A missing entry shows "读取图片失败" and gives false. A picture that does
  // not decode gives false from LoadImageFromArchive, and true with an empty picture from
  // LoadGdiplusImage (drawing it draws nothing).
  bool LoadImageFromArchive(std::string_view entryName, Bitmap* picture) const;
  bool LoadGdiplusImage(std::string_view entryName, std::unique_ptr<Bitmap>* picture) const;

 private:
  void Show(std::string_view utf8Message) const;
  std::string GetText(const char* section, const char* key, const char* defaultValue,
                      std::size_t width);
  int GetCount(const char* key, int maxCount);
  template <typename Record>
  void ReadMember(const char* section, const ConfigKey& key, Record* record);
  template <typename Record>
  void ReadList(const ConfigList& list, int count, std::vector<Record>* records);

  CSimpleIniA ini;
  MappedFile file_;
  ArchiveLocation location_;
  ArchiveHandle archive;
  ZipOpenError archiveError_ = ZipOpenError::kNone;
  std::string gameheader;
  std::vector<LinkInfo> links;
  std::vector<GamePicInfo> gamePics;
  std::vector<GameButtonInfo> gameButtons;
  GlobalSettings settings;
  std::vector<MenuInfo> menus;
  std::vector<int> edgeImages;

  MessageSink sink_;
  std::vector<ConfigNote> notes_;
  bool wasUtf8_ = false;
};

// The integer reading of a present value: base 10, leading blanks skipped, optional sign,
// digits up to the first non-digit, 0 without digits, saturating at the 32-bit limits.
int ParseConfigInt(const char* text);

}  // namespace launcher
