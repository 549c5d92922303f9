#include "pack/Inspect.h"

#include <cstdio>
#include <variant>

#include "base/Text.h"
#include "pack/Json.h"
#include "pack/Signing.h"

namespace launcher::pack {

namespace {

// The [global] values in the order of the model, under their key names. Texts are GBK.
struct GlobalField {
  const char* name;
  std::variant<int GlobalSettings::*, std::string GlobalSettings::*> member;
};
constexpr GlobalField kGlobalFields[] = {
    {"top", &GlobalSettings::top},
    {"left", &GlobalSettings::left},
    {"right", &GlobalSettings::right},
    {"bottom", &GlobalSettings::bottom},
    {"topLeftImage", &GlobalSettings::topLeftImage},
    {"topRightImage", &GlobalSettings::topRightImage},
    {"bottomLeftImage", &GlobalSettings::bottomLeftImage},
    {"bottomRight", &GlobalSettings::bottomRight},
    {"topImage", &GlobalSettings::topImage},
    {"leftImage", &GlobalSettings::leftImage},
    {"logx", &GlobalSettings::logx},
    {"logy", &GlobalSettings::logy},
    {"titlex", &GlobalSettings::titlex},
    {"titley", &GlobalSettings::titley},
    {"titleWidth", &GlobalSettings::titleWidth},
    {"titleHeight", &GlobalSettings::titleHeight},
    {"htmlHeadHeight", &GlobalSettings::htmlHeadHeight},
    {"title", &GlobalSettings::title},
    {"firstUrl", &GlobalSettings::firstUrl},
    {"notityTitle", &GlobalSettings::notityTitle},
    {"notifyCloseTitle", &GlobalSettings::notifyCloseTitle},
    {"clearFlashTitle", &GlobalSettings::clearFlashTitle},
    {"clearFlashMsg", &GlobalSettings::clearFlashMsg},
    {"versionUrl", &GlobalSettings::versionUrl},
    {"exeUrl", &GlobalSettings::exeUrl},
    {"port", &GlobalSettings::port},
    {"server", &GlobalSettings::server},
    {"version", &GlobalSettings::version},
    {"closeMsg", &GlobalSettings::closeMsg},
    {"titleColor", &GlobalSettings::titleColor},
    {"loginCenterColor", &GlobalSettings::loginCenterColor},
    {"minGameWidth", &GlobalSettings::minGameWidth},
    {"minGameHeight", &GlobalSettings::minGameHeight},
};

// The counts are no fields of the model (its lists carry them), but show what the file said.
constexpr const char* kCountKeys[] = {"linkCount", "menuCount", "picCount", "gameButtonCount"};

std::string Utf8(std::string_view gbk) { return GbkToUtf8(gbk); }

const char* FormName(TextForm form) {
  switch (form) {
    case TextForm::kGbk:
      return "GBK";
    case TextForm::kUtf8:
      return "UTF-8";
    case TextForm::kUtf8WithBom:
      return "UTF-8 with byte-order mark";
  }
  return "?";
}

const char* StateName(PackageEntry::State state) {
  switch (state) {
    case PackageEntry::State::kRead:
      return "read";
    case PackageEntry::State::kCorrupt:
      return "corrupt";
    case PackageEntry::State::kRefused:
      return "refused";
    case PackageEntry::State::kShadowed:
      return "shadowed";
  }
  return "?";
}

bool ZipRecordAgrees(const ArchiveLocation& location) {
  return location.zipStart != std::string_view::npos && location.zipStart == location.start;
}

// A value for plain text: texts quoted, so that an empty one is seen.
std::string Plain(std::string_view gbk) { return "\"" + Utf8(gbk) + "\""; }

void AppendLine(std::string* out, const std::string& line) {
  *out += line;
  *out += '\n';
}

}  // namespace

std::string InspectText(const Package& package) {
  std::string out;
  AppendLine(&out, "File: " + package.path);
  if (package.source == Package::Source::kExecutable) {
    const ArchiveLocation& location = package.location;
    std::string line = "Archive: ";
    const std::string by = ArchiveStartSourceName(location.source);
    if (location.source == ArchiveStartSource::kNone) {
      line += "none (not an ELF or PE executable whose end can be found, and no Zip end record)";
    } else if (location.source == ArchiveStartSource::kEndRecord) {
      line += "starts at byte " + std::to_string(location.start) + ", found by the Zip end record";
    } else {
      line += (package.archiveOpen ? "starts at byte " : "none opened at byte ") +
              std::to_string(location.start) + ", where the " + by + " headers' data ends; ";
      line += ZipRecordAgrees(location) ? "the Zip end record agrees"
              : location.zipStart == std::string_view::npos
                  ? "no Zip end record"
                  : "the Zip end record says " + std::to_string(location.zipStart);
    }
    AppendLine(&out, line);
    for (const std::string& message : package.openMessages) {
      AppendLine(&out, "The launcher shows: \"" + message + "\"");
    }
  } else {
    AppendLine(&out, "Skin folder (not packed yet)");
  }

  AppendLine(&out, "");
  AppendLine(&out, "Entries: " + std::to_string(package.entries.size()));
  char row[64];
  std::snprintf(row, sizeof row, "  %10s %10s  ", "compressed", "size");
  AppendLine(&out, std::string(row) + "name");
  for (const PackageEntry& entry : package.entries) {
    std::snprintf(row, sizeof row, "  %10llu %10llu  ",
                  static_cast<unsigned long long>(entry.compressedSize),
                  static_cast<unsigned long long>(entry.size));
    std::string line = std::string(row) + entry.name;
    if (entry.state != PackageEntry::State::kRead) {
      line += "  (" + std::string(StateName(entry.state)) + ")";
    }
    AppendLine(&out, line);
  }

  if (!package.listingComplete) {
    AppendLine(&out, "  (the archive's directory breaks off here)");
  }

  AppendLine(&out, "");
  if (package.source == Package::Source::kSkinFolder || package.archiveOpen) {
    const UpdateKeyState key = DescribeUpdateKey(package);
    switch (key.kind) {
      case UpdateKeyState::Kind::kAbsent:
        AppendLine(&out, "Updates: unsigned (no config/update.pub)");
        break;
      case UpdateKeyState::Kind::kValid:
        AppendLine(&out, "Updates: signed, Ed25519 public key " + key.hex);
        break;
      case UpdateKeyState::Kind::kMalformed:
        AppendLine(&out, "Updates: malformed config/update.pub: " + key.problem);
        break;
    }
    AppendLine(&out, "");
  }
  if (!package.hasConfig) {
    AppendLine(&out, "Configuration: no readable config/cg.txt");
    return out;
  }
  const LauncherConfig& config = *package.config;
  AppendLine(&out, std::string("Configuration: config/cg.txt, ") + FormName(package.configForm) +
                       (package.configParsed   ? ""
                        : package.configLoaded ? "; not accepted: linkCount below 1"
                                               : "; refused by the INI reader"));
  AppendLine(&out, "[global]");
  AppendLine(&out, "  gameheader = " + Plain(config.GetGameHeader()));
  for (const char* key : kCountKeys) {
    AppendLine(&out,
               std::string("  ") + key + " = " + std::to_string(config.GetInt("global", key, 0)));
  }
  const GlobalSettings& settings = config.GetSettings();
  for (const GlobalField& field : kGlobalFields) {
    std::string value = std::visit(
        [&](auto member) -> std::string {
          if constexpr (std::is_same_v<decltype(member), int GlobalSettings::*>) {
            return std::to_string(settings.*member);
          } else {
            return Plain(settings.*member);
          }
        },
        field.member);
    AppendLine(&out, std::string("  ") + field.name + " = " + value);
  }
  std::string edges = "  edgeImages =";
  for (int edge : config.GetEdgeImages()) {
    edges += " " + std::to_string(edge);
  }
  AppendLine(&out, edges);

  const auto& links = config.GetLinks();
  for (std::size_t i = 0; i < links.size(); ++i) {
    const LinkInfo& l = links[i];
    AppendLine(&out, "[link" + std::to_string(i + 1) + "] url=" + Plain(l.url) +
                         " x=" + std::to_string(l.x) + " y=" + std::to_string(l.y) +
                         " width=" + std::to_string(l.width) +
                         " height=" + std::to_string(l.height) + " type=" + std::to_string(l.type));
  }
  const auto& menus = config.GetMenus();
  for (std::size_t i = 0; i < menus.size(); ++i) {
    const MenuInfo& m = menus[i];
    AppendLine(&out, "[menu" + std::to_string(i + 1) + "] title=" + Plain(m.title) + " type=" +
                         std::to_string(m.type) + " shortCut=" + std::to_string(m.shortCut));
  }
  const auto& pics = config.GetGamePics();
  for (std::size_t i = 0; i < pics.size(); ++i) {
    const GamePicInfo& p = pics[i];
    AppendLine(&out, "[gamePic" + std::to_string(i + 1) + "] x=" + std::to_string(p.x) +
                         " y=" + std::to_string(p.y) + " width=" + std::to_string(p.width) +
                         " height=" + std::to_string(p.height) + " interval=" +
                         std::to_string(p.interval) + " count=" + std::to_string(p.count));
  }
  const auto& buttons = config.GetGameButtons();
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const GameButtonInfo& b = buttons[i];
    AppendLine(&out, "[gamebutton" + std::to_string(i + 1) + "] x=" + std::to_string(b.x) +
                         " y=" + std::to_string(b.y) + " type=" + std::to_string(b.type) +
                         " image=" + std::to_string(b.image) +
                         " shortCut=" + std::to_string(b.shortCut) + " title=" + Plain(b.title) +
                         " url=" + Plain(b.url) + " tips=" + Plain(b.tips) +
                         " color=" + std::to_string(b.color));
  }
  return out;
}

std::string InspectJson(const Package& package) {
  JsonWriter json;
  json.BeginObject();
  json.Field("file", package.path);
  json.Field("source", package.source == Package::Source::kExecutable ? "executable" : "folder");
  json.Key("archive");
  if (package.source == Package::Source::kExecutable) {
    const ArchiveLocation& location = package.location;
    json.BeginObject();
    json.Field("open", package.archiveOpen);
    json.Key("start");
    if (location.source == ArchiveStartSource::kNone) {
      json.Null();
    } else {
      json.Int(static_cast<std::int64_t>(location.start));
    }
    json.Field("foundBy", ArchiveStartSourceName(location.source));
    json.Key("zipEndRecordStart");
    if (location.zipStart == std::string_view::npos) {
      json.Null();
    } else {
      json.Int(static_cast<std::int64_t>(location.zipStart));
    }
    json.Field("zipEndRecordAgrees", ZipRecordAgrees(location));
    json.Key("messages").BeginArray();
    for (const std::string& message : package.openMessages) {
      json.String(message);
    }
    json.EndArray();
    json.EndObject();
  } else {
    json.Null();
  }

  json.Key("entries").BeginArray();
  for (const PackageEntry& entry : package.entries) {
    json.BeginObject()
        .Field("name", entry.name)
        .Field("size", static_cast<std::int64_t>(entry.size))
        .Field("compressedSize", static_cast<std::int64_t>(entry.compressedSize))
        .Field("state", StateName(entry.state))
        .EndObject();
  }
  json.EndArray();
  json.Field("directoryComplete", package.listingComplete);

  json.Key("updates");
  if (package.source == Package::Source::kSkinFolder || package.archiveOpen) {
    const UpdateKeyState key = DescribeUpdateKey(package);
    static const char* const kStates[] = {"unsigned", "signed", "malformed"};
    json.BeginObject().Field("state", kStates[static_cast<int>(key.kind)]);
    json.Key("key");
    if (key.kind == UpdateKeyState::Kind::kValid) {
      json.String(key.hex);
    } else {
      json.Null();
    }
    json.Key("problem");
    if (key.kind == UpdateKeyState::Kind::kMalformed) {
      json.String(key.problem);
    } else {
      json.Null();
    }
    json.EndObject();
  } else {
    json.Null();
  }

  json.Key("config");
  if (!package.hasConfig) {
    json.Null();
    json.EndObject();
    return json.Text();
  }
  const LauncherConfig& config = *package.config;
  json.BeginObject();
  json.Field("form", FormName(package.configForm));
  json.Field("loaded", package.configLoaded);
  json.Field("parsed", package.configParsed);
  json.Key("global").BeginObject();
  json.Field("gameheader", Utf8(config.GetGameHeader()));
  for (const char* key : kCountKeys) {
    json.Field(key, config.GetInt("global", key, 0));
  }
  const GlobalSettings& settings = config.GetSettings();
  for (const GlobalField& field : kGlobalFields) {
    json.Key(field.name);
    std::visit(
        [&](auto member) {
          if constexpr (std::is_same_v<decltype(member), int GlobalSettings::*>) {
            json.Int(settings.*member);
          } else {
            json.String(Utf8(settings.*member));
          }
        },
        field.member);
  }
  json.EndObject();

  json.Key("edgeImages").BeginArray();
  for (int edge : config.GetEdgeImages()) {
    json.Int(edge);
  }
  json.EndArray();
  json.Key("links").BeginArray();
  for (const LinkInfo& l : config.GetLinks()) {
    json.BeginObject().Field("url", Utf8(l.url)).Field("x", l.x).Field("y", l.y);
    json.Field("width", l.width).Field("height", l.height).Field("type", l.type).EndObject();
  }
  json.EndArray();
  json.Key("menus").BeginArray();
  for (const MenuInfo& m : config.GetMenus()) {
    json.BeginObject().Field("title", Utf8(m.title)).Field("type", m.type);
    json.Field("shortCut", m.shortCut).EndObject();
  }
  json.EndArray();
  json.Key("gamePics").BeginArray();
  for (const GamePicInfo& p : config.GetGamePics()) {
    json.BeginObject().Field("x", p.x).Field("y", p.y).Field("width", p.width);
    json.Field("height", p.height).Field("interval", p.interval).Field("count", p.count);
    json.EndObject();
  }
  json.EndArray();
  json.Key("gameButtons").BeginArray();
  for (const GameButtonInfo& b : config.GetGameButtons()) {
    json.BeginObject().Field("x", b.x).Field("y", b.y).Field("type", b.type);
    json.Field("image", b.image).Field("shortCut", b.shortCut).Field("title", Utf8(b.title));
    json.Field("url", Utf8(b.url)).Field("tips", Utf8(b.tips)).Field("color", b.color);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();  // config
  json.EndObject();
  return json.Text();
}

}  // namespace launcher::pack
