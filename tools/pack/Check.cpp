// The check of a package's files: the archive, the form of cg.txt, the pictures each window
// loads and the rectangles cut from the sprite sheet. The text of cg.txt is CheckConfig.cpp's.
#include "pack/Check.h"

#include <algorithm>
#include <map>

#include "base/Text.h"
#include "config/ConfigSchema.h"
#include "config/Png.h"
#include "pack/CheckReporter.h"
#include "pack/Signing.h"

namespace launcher::pack {

std::string Shown(std::string_view gbk) { return GbkToUtf8(gbk); }

void Reporter::AtFile(Severity severity, FindingKind kind, std::string_view entryName,
                      std::string message) {
  std::string file = entryName.empty() ? package_.path : package_.Describe(entryName);
  findings_->push_back({severity, kind, std::move(file), {}, {}, 0, std::move(message)});
}

void Reporter::AtLine(Severity severity, FindingKind kind, std::string_view section,
                      std::string_view key, int line, std::string message) {
  findings_->push_back({severity, kind, package_.Describe(kConfigEntry), std::string(section),
                        std::string(key), line, std::move(message)});
}

void Reporter::AtKey(Severity severity, FindingKind kind, std::string_view section,
                     std::string_view key, std::string message) {
  int line = package_.scan.LineOf(section, key);
  if (line == 0) {
    line = package_.scan.LineOfSection(section);
  }
  AtLine(severity, kind, section, key, line, std::move(message));
}

namespace {

constexpr Severity kWarn = Severity::kWarning;
constexpr Severity kError = Severity::kError;

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string Entry(std::string_view file) { return std::string(kEntryPrefix) + std::string(file); }

// Offset of the first byte that cannot start or end a GBK character, or npos.
std::size_t FirstNonGbk(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c <= 0x80) {
      continue;  // 0x80 is the euro sign of code page 936
    }
    if (c == 0xFF || i + 1 >= text.size()) {
      return i;
    }
    auto trail = static_cast<unsigned char>(text[i + 1]);
    if (trail < 0x40 || trail == 0x7F || trail == 0xFF) {
      return i;
    }
    ++i;
  }
  return std::string_view::npos;
}

bool CheckArchive(Reporter& report) {
  const Package& package = report.GetPackage();
  if (package.source != Package::Source::kExecutable) {
    return true;
  }
  if (!package.archiveOpen) {
    const std::string reason =
        package.archiveError == ZipOpenError::kOverlap ||
                package.archiveError == ZipOpenError::kTooLarge
            ? std::string(" (") + ZipOpenErrorText(package.archiveError) + ")"
            : std::string();
    for (const std::string& message : package.openMessages) {
      report.AtFile(kError, FindingKind::kArchive, "",
                    "the launcher shows " + Quoted(message) + " and ends" + reason);
    }
    return false;
  }
  const ArchiveLocation& location = package.location;
  if (location.zipStart != std::string_view::npos && location.zipStart != location.start) {
    report.AtFile(kWarn, FindingKind::kArchiveStart, "",
                  std::string("the ") + ArchiveStartSourceName(location.source) +
                      " headers end at " + std::to_string(location.start) +
                      ", but the Zip end record puts the archive at " +
                      std::to_string(location.zipStart));
  }
  if (!package.listingComplete) {
    report.AtFile(kWarn, FindingKind::kDamagedEntry, "",
                  "the archive's directory breaks off after " +
                      std::to_string(package.entries.size()) + " entries");
  }
  return true;
}

void CheckTextForm(Reporter& report) {
  const Package& package = report.GetPackage();
  const PackageEntry* stored = package.Find(kConfigEntry);
  const bool folder = package.source == Package::Source::kSkinFolder;
  for (const UnconvertibleLine& bad : package.unconvertible) {
    report.AtLine(kError, FindingKind::kNotGbk, "", "", bad.line,
                  "characters GBK cannot hold: " + bad.characters);
  }
  switch (package.configForm) {
    case TextForm::kUtf8:
      if (folder) {
        report.AtFile(Severity::kNote, FindingKind::kConverted, kConfigEntry,
                      "UTF-8 text: packed as GBK");
      } else {
        report.AtFile(kWarn, FindingKind::kTextForm, kConfigEntry,
                      "UTF-8 without a byte-order mark: the launcher reads it as GBK and shows "
                      "its texts garbled");
      }
      return;
    case TextForm::kUtf8WithBom:
      if (folder) {
        report.AtFile(Severity::kNote, FindingKind::kConverted, kConfigEntry,
                      "UTF-8 text with a byte-order mark: packed as GBK, without the mark");
      } else {
        std::optional<std::string> bytes = stored ? package.Read(*stored) : std::nullopt;
        bool converts = bytes && Utf8ToGbk(std::string_view(*bytes).substr(3));
        report.AtFile(kWarn, FindingKind::kTextForm, kConfigEntry,
                      converts ? "UTF-8 with a byte-order mark: the launcher converts it at "
                                 "every start; packages normally hold GBK"
                               : "UTF-8 with a byte-order mark that does not convert to GBK: "
                                 "the launcher loses its first section header");
      }
      return;
    case TextForm::kGbk:
      if (std::size_t bad = FirstNonGbk(package.configText); bad != std::string_view::npos) {
        report.AtLine(kWarn, FindingKind::kTextForm, "", "",
                      LineTable(package.configText).LineAt(bad),
                      "bytes that are neither GBK nor UTF-8: the launcher shows them garbled");
      }
      return;
  }
}

// What a picture is needed for, and what its absence does.
struct PictureUse {
  bool needed;            // false: only a window that never opens loads it
  bool decodeNeeded;      // false: nothing that opens draws it
  std::string missing;    // what the launcher does when the entry is missing
  std::string undecoded;  // ... and when it does not decode
  std::string unneeded;   // why it is only a warning when not needed
};

// Checks one picture; its decoded form when there is one.
std::optional<Bitmap> CheckPicture(Reporter& report, std::string_view file, const PictureUse& use) {
  const Package& package = report.GetPackage();
  const std::string name = Entry(file);
  auto severity = [&](bool needed) { return needed ? kError : kWarn; };
  auto unneeded = [&](bool needed) {
    return needed ? std::string() : " (only a warning: " + use.unneeded + ")";
  };
  const PackageEntry* entry = package.Find(name);
  if (!entry) {
    std::string what = "missing";
    for (const PackageEntry& other : package.entries) {
      if (other.name == name) {
        what = "cannot be read from the archive";
        break;
      }
      if (EqualsIgnoringAsciiCase(other.name, name)) {
        what =
            "missing (there is " + package.Describe(other.name) + ", but names are case-sensitive)";
      }
    }
    report.AtFile(severity(use.needed), FindingKind::kMissingPicture, name,
                  what + ": " + use.missing + unneeded(use.needed));
    return std::nullopt;
  }
  Bitmap picture;
  std::optional<std::string> bytes = package.Read(*entry);
  if (!bytes ||
      !DecodePng(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size(), &picture)) {
    report.AtFile(
        severity(use.decodeNeeded), FindingKind::kBadPicture, name,
        "not a PNG picture the launcher can decode: " + use.undecoded + unneeded(use.decodeNeeded));
    return std::nullopt;
  }
  return picture;
}

std::string Count(const char* key, std::size_t n) {
  return std::string(key) + "=" + std::to_string(n);
}

// The rectangles cut from style.png: a frame piece is one picture, a game button three stacked
// states (normal, pressed, hover), each height high with interval pixels between them.
void CheckSprites(Reporter& report, const Bitmap* style) {
  const LauncherConfig& config = *report.GetPackage().config;
  const auto& pics = config.GetGamePics();
  std::map<std::size_t, int> states;  // 1-based entry → pictures stacked in it
  auto valid = [&](int image) {
    return image >= 1 && static_cast<std::size_t>(image) <= pics.size();
  };
  const auto& edges = config.GetEdgeImages();
  const ConfigKey& edgeKey = GlobalConfigKey(ConfigTarget::kEdgeImages);
  const ConfigList& picList = GetConfigList(ConfigListId::kGamePics);
  const std::string noEntry =
      Cat(" names no [", picList.section, "N] entry (", Count(picList.countKey, pics.size()), ")");
  std::string absent;  // keys left out, whose default names no entry: one finding for all
  for (std::size_t n = 0; n < edges.size(); ++n) {
    const std::string key = ConfigKeyName(edgeKey, static_cast<int>(n + 1));
    if (!valid(edges[n])) {
      if (report.GetPackage().scan.LineOf(kGlobalSection, key) == 0) {
        absent += (absent.empty() ? "" : ", ") + key;
        continue;
      }
      report.AtKey(kWarn, FindingKind::kNoPictureEntry, kGlobalSection, key,
                   Cat(key, "=", std::to_string(edges[n]), noEntry,
                       ": the frame piece has nothing to show"));
      continue;
    }
    int& stacked = states[static_cast<std::size_t>(edges[n])];
    stacked = std::max(stacked, 1);
  }
  if (!absent.empty()) {
    report.AtKey(kWarn, FindingKind::kNoPictureEntry, kGlobalSection, absent,
                 Cat("absent, so ", std::to_string(edgeKey.number), " each, which", noEntry,
                     ": those frame pieces have nothing to show"));
  }
  const auto& buttons = config.GetGameButtons();
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (!valid(buttons[i].image)) {
      report.AtKey(
          kWarn, FindingKind::kNoPictureEntry,
          ConfigSectionName(GetConfigList(ConfigListId::kGameButtons), static_cast<int>(i + 1)),
          "image",
          "image=" + std::to_string(buttons[i].image) + noEntry + ": the launcher makes no button");
      continue;
    }
    states[static_cast<std::size_t>(buttons[i].image)] = 3;
  }
  if (!style) {
    return;
  }
  static const char* const kStateNames[] = {"picture", "pressed picture", "hover picture"};
  for (const auto& [number, count] : states) {
    const GamePicInfo& pic = pics[number - 1];
    const std::string section = ConfigSectionName(picList, static_cast<int>(number));
    const std::string sheet =
        " style.png (" + std::to_string(style->width) + " × " + std::to_string(style->height) + ")";
    if (pic.width <= 0 || pic.height <= 0) {
      report.AtKey(kWarn, FindingKind::kSpriteRect, section, pic.width <= 0 ? "width" : "height",
                   "the rectangle has no area: nothing is cut from style.png");
      continue;
    }
    const std::int64_t x = pic.x, y = pic.y, width = pic.width, height = pic.height;
    if (x < 0 || x + width > style->width) {
      report.AtKey(kWarn, FindingKind::kSpriteRect, section, x < 0 ? "x" : "width",
                   "x " + std::to_string(x) + " .. " + std::to_string(x + width) + " lies outside" +
                       sheet + ": that part is cut as black");
    }
    for (int state = 0; state < count; ++state) {
      const std::int64_t top = y + state * (height + pic.interval);
      if (top >= 0 && top + height <= style->height) {
        continue;
      }
      std::string where =
          state == 0 ? "y" : Cat("y + ", std::to_string(state), " × (height + interval)");
      report.AtKey(
          kWarn, FindingKind::kSpriteRect, section, top < 0 ? "y" : "height",
          Cat("the ", kStateNames[state], " (", where, " = ", std::to_string(top), ", ",
              std::to_string(height), " high) lies outside", sheet, ": that part is cut as black"));
      break;
    }
  }
}

void CheckPicturesAndWindows(Reporter& report) {
  const Package& package = report.GetPackage();
  const LauncherConfig& config = *package.config;
  const GlobalSettings& settings = config.GetSettings();
  const bool parsed = package.configParsed;
  const auto& links = config.GetLinks();
  const bool hasPage =
      std::any_of(links.begin(), links.end(), [](const LinkInfo& link) { return link.type == 4; });
  // A firstUrl of three bytes or more skips the launcher window; otherwise only its first page
  // can start the game. Without a parsed configuration, judge as if it were repaired.
  const bool launcherOpens = settings.firstUrl.size() <= 2;
  const bool gameOpens = !parsed || !launcherOpens || hasPage;

  const char* kImageBox = "\"读取图片失败\"";
  // Start-up loads main1.png whatever comes next, and ends when it is missing or undecodable.
  const std::string skipped = "firstUrl skips the launcher window";
  const std::string startupEnds = std::string("start-up shows ") + kImageBox + " and ends";
  CheckPicture(report, "main1.png", {true, true, startupEnds, startupEnds, skipped});
  for (std::size_t i = 0; parsed && i < links.size(); ++i) {
    if (links[i].type < 1 || links[i].type > 3) {
      continue;
    }
    const std::string n = std::to_string(i + 1);
    const std::string use = std::string("the launcher window shows ") + kImageBox +
                            " and makes no link area from [link" + n + "] on";
    for (const char* state : {"_n.png", "_d.png"}) {
      CheckPicture(report, n + state, {launcherOpens, launcherOpens, use, use, skipped});
    }
  }
  const std::string never = "the game window never opens";
  auto style = CheckPicture(report, "style.png",
                            {gameOpens, gameOpens,
                             std::string("the game window shows ") + kImageBox +
                                 " and stays empty: no frame, page or buttons",
                             "the game window stays empty: no frame, page or buttons", never});
  CheckPicture(report, "logo.png",
               {gameOpens, gameOpens,
                std::string("the game window shows ") + kImageBox +
                    " and is left unfinished: no logo, shortcuts or layout",
                "the game window is left unfinished: no logo, shortcuts or layout", never});
  if (!parsed) {
    return;
  }
  CheckSprites(report, style ? &*style : nullptr);

  if (launcherOpens && !hasPage) {
    report.AtKey(kWarn, FindingKind::kNoGameWindow, kGlobalSection, "firstUrl",
                 "no firstUrl and no page (a type 4 link): the game window never opens");
  }
  if (launcherOpens && hasPage && config.GetGameHeader().empty()) {
    report.AtKey(kWarn, FindingKind::kEmptyGameHeader, kGlobalSection, "gameheader",
                 "empty: the login page's first navigation (about:blank) starts the game at once");
  }
}

// The operator's icon, optional: what the desktop entry will show.
void CheckIcon(Reporter& report) {
  const Package& package = report.GetPackage();
  const PackageEntry* entry = package.Find(kIconEntry);
  if (!entry) {
    return;
  }
  const std::string builtIn = ": the desktop entry shows the built-in icon instead";
  Bitmap icon;
  std::optional<std::string> bytes = package.Read(*entry);
  if (!bytes ||
      !DecodePng(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size(), &icon)) {
    report.AtFile(kWarn, FindingKind::kIcon, kIconEntry, "not a PNG picture" + builtIn);
    return;
  }
  const std::string size = std::to_string(icon.width) + " × " + std::to_string(icon.height);
  if (icon.width != icon.height) {
    report.AtFile(kWarn, FindingKind::kIcon, kIconEntry, size + ", not square" + builtIn);
  } else if (icon.width < kMinIconSide || icon.width > kMaxIconSide) {
    report.AtFile(kWarn, FindingKind::kIcon, kIconEntry,
                  size + ", outside " + std::to_string(kMinIconSide) + " .. " +
                      std::to_string(kMaxIconSide) + " pixels" + builtIn);
  } else {
    report.AtFile(Severity::kNote, FindingKind::kIcon, kIconEntry,
                  size + " PNG: the icon of the desktop entry and of the windows");
  }
}

// Whether the launcher can verify its updates.
void CheckUpdateKey(Reporter& report) {
  const UpdateKeyState key = DescribeUpdateKey(report.GetPackage());
  switch (key.kind) {
    case UpdateKeyState::Kind::kAbsent:
      report.AtFile(Severity::kNote, FindingKind::kUpdateKey, "",
                    "unsigned: no config/update.pub, so updates carry no signature to check");
      return;
    case UpdateKeyState::Kind::kValid:
      report.AtFile(
          Severity::kNote, FindingKind::kUpdateKey, kUpdateKeyEntry,
          "signed updates: the launcher accepts only updates signed with the key " + key.hex);
      return;
    case UpdateKeyState::Kind::kMalformed:
      report.AtFile(
          kError, FindingKind::kUpdateKey, kUpdateKeyEntry,
          "malformed update key (" + key.problem + "): the launcher cannot verify any update");
      return;
  }
}

void CheckFiles(Reporter& report) {
  const Package& package = report.GetPackage();
  for (const std::string& name : package.skipped) {
    report.AtFile(kWarn, FindingKind::kSkippedFile, Entry(name),
                  "not a regular file: not packed (subfolders are not read)");
  }
  for (const RefusedFile& refused : package.refused) {
    const char* why = "";
    switch (refused.reason) {
      case RefusedFile::Reason::kLinkOutside:
        why = "a symbolic link that leads out of the skin folder (or nowhere): not packed";
        break;
      case RefusedFile::Reason::kSpecial:
        why = "not a regular file (a FIFO, socket or device): not packed";
        break;
      case RefusedFile::Reason::kTooLarge:
        why = "larger than 256 MiB, more than the launcher reads for one file: not packed";
        break;
    }
    report.AtFile(kError, FindingKind::kRefusedFile, Entry(refused.name), why);
  }
  std::uint64_t total = 0;
  for (const PackageEntry& entry : package.entries) {
    total += entry.size;
  }
  if (package.source == Package::Source::kSkinFolder && total > kMaxArchiveTotal) {
    report.AtFile(kError, FindingKind::kRefusedFile, "",
                  "the files add up to " + std::to_string(total) +
                      " bytes, more than the launcher accepts in one archive (512 MiB)");
  }
  std::map<std::string, bool> read = {
      {std::string(kConfigEntry), true}, {Entry("main1.png"), true},
      {Entry("style.png"), true},        {Entry("logo.png"), true},
      {std::string(kIconEntry), true},   {std::string(kUpdateKeyEntry), true}};
  const auto& links = package.config->GetLinks();
  for (std::size_t i = 0; i < links.size(); ++i) {
    if (links[i].type < 1 || links[i].type > 3) {
      continue;
    }
    read[Entry(std::to_string(i + 1) + "_n.png")] = true;
    read[Entry(std::to_string(i + 1) + "_d.png")] = true;
  }
  for (const PackageEntry& entry : package.entries) {
    const bool used = read.count(entry.name) > 0;
    switch (entry.state) {
      case PackageEntry::State::kShadowed:
        report.AtFile(kWarn, FindingKind::kDuplicateEntry, entry.name,
                      "a second entry of this name: the launcher reads only the first");
        continue;
      case PackageEntry::State::kCorrupt:
      case PackageEntry::State::kRefused:
        // A file the launcher needs is reported as missing by the checks above.
        if (!used) {
          report.AtFile(kWarn, FindingKind::kDamagedEntry, entry.name,
                        entry.state == PackageEntry::State::kCorrupt
                            ? "does not inflate"
                            : "cannot be read (sizes that cannot be true, or encrypted)");
        }
        continue;
      case PackageEntry::State::kRead:
        break;
    }
    // Link pictures are only known once the configuration parsed.
    if (!used && package.configParsed) {
      report.AtFile(kWarn, FindingKind::kUnusedFile, entry.name,
                    entry.name.starts_with(kEntryPrefix) ? "nothing reads this file"
                                                         : "outside config/: nothing reads it");
    }
  }
}

}  // namespace

std::vector<Finding> CheckPackage(const Package& package) {
  std::vector<Finding> findings;
  Reporter report(package, &findings);
  if (CheckArchive(report)) {
    if (!package.hasConfig) {
      const bool present =
          std::any_of(package.entries.begin(), package.entries.end(),
                      [](const PackageEntry& e) { return e.name == kConfigEntry; });
      report.AtFile(kError, FindingKind::kMissingConfig, kConfigEntry,
                    std::string(present ? "cannot be read from the archive" : "missing") +
                        ": the launcher shows \"读取ini文件失败\" and ends");
    } else if (!package.configLoaded) {
      report.AtFile(kError, FindingKind::kConfigRefused, kConfigEntry,
                    "the INI reader refuses it: the launcher shows \"装载ini文件失败\" and ends");
    } else {
      CheckTextForm(report);
      if (!package.configParsed) {
        const char* key = GetConfigList(ConfigListId::kLinks).countKey;
        const int count = package.config->GetInt(kGlobalSection, key, 0);
        report.AtKey(
            kError, FindingKind::kLinkCount, kGlobalSection, key,
            (package.scan.LineOf(kGlobalSection, key) ? Cat(key, "=", std::to_string(count))
                                                      : Cat("no ", key)) +
                ": below 1, so start-up ends silently");
      }
      CheckConfigText(report);
    }
    CheckPicturesAndWindows(report);
    CheckFiles(report);
    CheckIcon(report);
    CheckUpdateKey(report);
  }
  std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
    if (a.severity != b.severity) {
      return a.severity > b.severity;
    }
    if (a.file != b.file) {
      return a.file < b.file;
    }
    return a.line < b.line;
  });
  return findings;
}

const char* FindingKindName(FindingKind kind) {
  switch (kind) {
    case FindingKind::kArchive:
      return "archive";
    case FindingKind::kMissingConfig:
      return "missing-config";
    case FindingKind::kConfigRefused:
      return "config-refused";
    case FindingKind::kNotGbk:
      return "not-gbk";
    case FindingKind::kLinkCount:
      return "link-count";
    case FindingKind::kMissingPicture:
      return "missing-picture";
    case FindingKind::kBadPicture:
      return "bad-picture";
    case FindingKind::kRefusedFile:
      return "refused-file";
    case FindingKind::kUpdateKey:
      return "update-key";
    case FindingKind::kValueCut:
      return "value-cut";
    case FindingKind::kCountCut:
      return "count-cut";
    case FindingKind::kMissingSection:
      return "missing-section";
    case FindingKind::kNoPictureEntry:
      return "no-picture-entry";
    case FindingKind::kSpriteRect:
      return "sprite-rect";
    case FindingKind::kShortcutClash:
      return "shortcut-clash";
    case FindingKind::kShortcutIgnored:
      return "shortcut-ignored";
    case FindingKind::kUnknownKey:
      return "unknown-key";
    case FindingKind::kUnreadSection:
      return "unread-section";
    case FindingKind::kKeyBeforeSection:
      return "key-before-section";
    case FindingKind::kDuplicateKey:
      return "duplicate-key";
    case FindingKind::kIgnoredLine:
      return "ignored-line";
    case FindingKind::kNulByte:
      return "nul-byte";
    case FindingKind::kTextForm:
      return "text-form";
    case FindingKind::kUnusedFile:
      return "unused-file";
    case FindingKind::kSkippedFile:
      return "skipped-file";
    case FindingKind::kDuplicateEntry:
      return "duplicate-entry";
    case FindingKind::kDamagedEntry:
      return "damaged-entry";
    case FindingKind::kArchiveStart:
      return "archive-start";
    case FindingKind::kNoGameWindow:
      return "no-game-window";
    case FindingKind::kEmptyGameHeader:
      return "empty-gameheader";
    case FindingKind::kIcon:
      return "icon";
    case FindingKind::kConverted:
      return "converted";
  }
  return "?";
}

std::string FormatFinding(const Finding& finding) {
  std::string out = finding.file;
  if (finding.line > 0) {
    out += ":" + std::to_string(finding.line);
  }
  static const char* const kSeverity[] = {"note", "warning", "error"};
  out += std::string(": ") + kSeverity[static_cast<int>(finding.severity)] + ": ";
  if (!finding.section.empty()) {
    out += "[" + finding.section + "] ";
  }
  if (!finding.key.empty()) {
    out += finding.key + ": ";
  }
  out += finding.message;
  out += " [" + std::string(FindingKindName(finding.kind)) + "]";
  return out;
}

bool HasErrors(const std::vector<Finding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Finding& f) { return f.severity == Severity::kError; });
}

int ExitCodeFor(const std::vector<Finding>& findings) {
  if (HasErrors(findings)) {
    return 2;
  }
  bool warnings = std::any_of(findings.begin(), findings.end(),
                              [](const Finding& f) { return f.severity == Severity::kWarning; });
  return warnings ? 1 : 0;
}

}  // namespace launcher::pack
