#include "pack/Inspect.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <variant>

#include "base/Text.h"
#include "config/ConfigSchema.h"
#include "pack/Json.h"
#include "pack/Signing.h"

namespace launcher::pack {

namespace {

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

std::string Plain(const ConfigValue& value) {
  if (const auto* text = std::get_if<std::string_view>(&value)) {
    return Plain(*text);
  }
  return std::to_string(std::get<int>(value));
}

void WriteValue(JsonWriter& json, const ConfigValue& value) {
  if (const auto* text = std::get_if<std::string_view>(&value)) {
    json.String(Utf8(*text));
  } else {
    json.Int(std::get<int>(value));
  }
}

const void* AddressIn(const GlobalSettings& settings, const ConfigKey& key) {
  if (const auto* number = std::get_if<int GlobalSettings::*>(&key.member)) {
    return &(settings.**number);
  }
  return &(settings.*std::get<std::string GlobalSettings::*>(key.member));
}

// The [global] values under their key names, texts in GBK: gameheader, the counts as the file
// gives them (the model keeps them only as its lists' lengths), then the settings in the order
// of the model's fields. The edge images are left to the caller.
template <typename F>
void ForEachGlobalValue(const LauncherConfig& config, F&& f) {
  static const std::vector<const ConfigKey*> settingsInFieldOrder = [] {
    std::vector<const ConfigKey*> keys;
    for (const ConfigKey& key : GlobalConfigKeys()) {
      if (key.target == ConfigTarget::kMember) {
        keys.push_back(&key);
      }
    }
    // Members of one object lie in the order of their declaration.
    static const GlobalSettings probe;
    std::stable_sort(keys.begin(), keys.end(), [](const ConfigKey* a, const ConfigKey* b) {
      return std::less<const void*>()(AddressIn(probe, *a), AddressIn(probe, *b));
    });
    return keys;
  }();
  const ConfigKey& header = GlobalConfigKey(ConfigTarget::kGameHeader);
  f(header.key, ConfigValue(std::string_view(config.GetGameHeader())));
  for (const ConfigKey& key : GlobalConfigKeys()) {
    if (key.target == ConfigTarget::kListCount) {
      f(key.key, ConfigValue(config.GetInt(kGlobalSection, key.key, 0)));
    }
  }
  for (const ConfigKey* key : settingsInFieldOrder) {
    f(key->key, ValueOf(config.GetSettings(), *key));
  }
}

// Each numbered list with the model's records, in reading order.
template <typename F>
void ForEachList(const LauncherConfig& config, F&& f) {
  f(GetConfigList(ConfigListId::kLinks), config.GetLinks());
  f(GetConfigList(ConfigListId::kMenus), config.GetMenus());
  f(GetConfigList(ConfigListId::kGamePics), config.GetGamePics());
  f(GetConfigList(ConfigListId::kGameButtons), config.GetGameButtons());
}

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
  AppendLine(&out, std::string("[") + kGlobalSection + "]");
  ForEachGlobalValue(config, [&](const char* key, const ConfigValue& value) {
    AppendLine(&out, std::string("  ") + key + " = " + Plain(value));
  });
  std::string edges = "  edgeImages =";
  for (int edge : config.GetEdgeImages()) {
    edges += " " + std::to_string(edge);
  }
  AppendLine(&out, edges);

  ForEachList(config, [&](const ConfigList& list, const auto& records) {
    for (std::size_t i = 0; i < records.size(); ++i) {
      std::string line = "[" + ConfigSectionName(list, static_cast<int>(i + 1)) + "]";
      for (const ConfigKey& key : list.keys) {
        line += std::string(" ") + key.key + "=" + Plain(ValueOf(records[i], key));
      }
      AppendLine(&out, line);
    }
  });
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
  json.Key(kGlobalSection).BeginObject();
  ForEachGlobalValue(config, [&](const char* key, const ConfigValue& value) {
    json.Key(key);
    WriteValue(json, value);
  });
  json.EndObject();

  json.Key("edgeImages").BeginArray();
  for (int edge : config.GetEdgeImages()) {
    json.Int(edge);
  }
  json.EndArray();
  ForEachList(config, [&](const ConfigList& list, const auto& records) {
    json.Key(list.modelName).BeginArray();
    for (const auto& record : records) {
      json.BeginObject();
      for (const ConfigKey& key : list.keys) {
        json.Key(key.key);
        WriteValue(json, ValueOf(record, key));
      }
      json.EndObject();
    }
    json.EndArray();
  });
  json.EndObject();  // config
  json.EndObject();
  return json.Text();
}

}  // namespace launcher::pack
