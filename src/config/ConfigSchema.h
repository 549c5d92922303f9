// Every key of cg.txt the launcher reads, described once: its section, type, where its value
// lands in the model, the width of a text and the default. The parser reads by these tables, and
// the packer's check and inspect views name, judge and show the keys by them, so a key added or
// changed here reaches all of them.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "config/LauncherConfig.h"

namespace launcher {

constexpr char kGlobalSection[] = "global";

// Numbers are read as ParseConfigInt reads them; colours are numbers holding 0x00BBGGRR.
enum class ConfigType { kInt, kColor, kText };

// Where a value of [global] lands. Keys of the numbered sections always land in their record.
enum class ConfigTarget {
  kMember,      // the record's member named by ConfigKey::member
  kGameHeader,  // the model's gameheader
  kEdgeImages,  // the model's edgeImages, one element per key of the index rule
  kListCount,   // no field: the number of sections ConfigKey::list reads
  kUnread,      // carried by packaged files, read by nothing
};

// A member of one of the model's records.
using ConfigMember =
    std::variant<std::monostate, int GlobalSettings::*, std::string GlobalSettings::*,
                 int LinkInfo::*, std::string LinkInfo::*, int MenuInfo::*, std::string MenuInfo::*,
                 int GamePicInfo::*, int GameButtonInfo::*, std::string GameButtonInfo::*>;

template <typename Member, typename Variant>
struct IsAlternativeOf;
template <typename Member, typename... Members>
struct IsAlternativeOf<Member, std::variant<Members...>>
    : std::bool_constant<(std::is_same_v<Member, Members> || ...)> {};

// Whether Record has text fields; code writing a text into a record without any is never made.
template <typename Record>
constexpr bool kHasTexts = IsAlternativeOf<std::string Record::*, ConfigMember>::value;

// The numbered lists, in the order the launcher reads them.
enum class ConfigListId { kLinks, kMenus, kGamePics, kGameButtons };

struct ConfigKey {
  const char* key;  // as the file spells it (names compare without ASCII case)
  ConfigType type;
  ConfigTarget target = ConfigTarget::kMember;
  ConfigMember member = {};
  // Texts: the field's width in bytes with its NUL. A longer value keeps width - 1 bytes at
  // most, and never the first byte of a double-byte character without its second.
  std::size_t width = 0;
  int number = 0;         // default of an absent number
  const char* text = "";  // default of an absent text
  int repeat = 0;         // > 0: the keys key1 .. key<repeat> (as "%d" numbers them)
  ConfigListId list = ConfigListId::kLinks;  // kListCount: the list it counts
};

// A list of sections named section1 .. section<count>, numbered as "%d" formats (so "link01"
// is never read), each read into one record of the model's list.
struct ConfigList {
  ConfigListId id;
  const char* section;
  const char* countKey;   // in [global]
  const char* modelName;  // the model's list
  // linkCount and menuCount are read with the other [global] values, before the link count is
  // judged; picCount and gameButtonCount only just before their lists, so a refused
  // configuration has read neither (nor noted a cut of either).
  bool countReadWithGlobals;
  bool required;                    // a count below 1 refuses the configuration
  int maxCount;                     // a count above it reads this many
  std::span<const ConfigKey> keys;  // in reading order
};

// [global], in reading order.
std::span<const ConfigKey> GlobalConfigKeys();
// Link, menu, gamePic and gamebutton, in reading order.
std::span<const ConfigList> ConfigLists();
const ConfigList& GetConfigList(ConfigListId id);
// The key of [global] whose target is target (the first, for kListCount).
const ConfigKey& GlobalConfigKey(ConfigTarget target);

// The name of the n-th key of a key's index rule (from 1), or the key itself without one.
std::string ConfigKeyName(const ConfigKey& key, int n = 0);

// The name of the n-th section of a list (from 1).
std::string ConfigSectionName(const ConfigList& list, int n);

// A value of the model: a number or the text's bytes (GBK).
using ConfigValue = std::variant<int, std::string_view>;

template <typename Record>
ConfigValue ValueOf(const Record& record, const ConfigKey& key) {
  if constexpr (kHasTexts<Record>) {
    if (const auto* text = std::get_if<std::string Record::*>(&key.member)) {
      return std::string_view(record.**text);
    }
  }
  return record.*std::get<int Record::*>(key.member);
}

}  // namespace launcher
