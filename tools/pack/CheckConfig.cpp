// The check of cg.txt as text: which sections and keys the launcher reads, which lines it
// skips, which values it cuts, and which function keys end up where.
#include <algorithm>
#include <map>
#include <span>
#include <utility>

#include "base/Text.h"
#include "config/ConfigSchema.h"
#include "pack/CheckReporter.h"

namespace launcher::pack {

namespace {

constexpr Severity kWarn = Severity::kWarning;

// The key names the launcher asks a section for, index rules spelled out, in reading order.
std::vector<std::string> KeyNames(std::span<const ConfigKey> keys) {
  std::vector<std::string> names;
  for (const ConfigKey& key : keys) {
    for (int n = key.repeat > 0 ? 1 : 0; n <= key.repeat; ++n) {
      names.push_back(ConfigKeyName(key, n));
    }
  }
  return names;
}

std::span<const std::string> GlobalKeyNames() {
  static const std::vector<std::string> names = KeyNames(GlobalConfigKeys());
  return names;
}

std::span<const std::string> ListKeyNames(const ConfigList& list) {
  static const std::vector<std::vector<std::string>> names = [] {
    std::vector<std::vector<std::string>> all;
    for (const ConfigList& each : ConfigLists()) {
      all.push_back(KeyNames(each.keys));
    }
    return all;
  }();
  return names[static_cast<std::size_t>(list.id)];
}

// How the launcher treats a section name.
struct SectionRole {
  std::span<const std::string> keys;  // empty when nothing reads the section
  std::string unread;                 // why nothing reads it
};

int BoundedCount(const LauncherConfig& config, const ConfigList& list) {
  return std::min(config.GetInt(kGlobalSection, list.countKey, 0), list.maxCount);
}

SectionRole RoleOf(const LauncherConfig& config, const std::string& name) {
  if (EqualsIgnoringAsciiCase(name, kGlobalSection)) {
    return {GlobalKeyNames(), {}};
  }
  for (const ConfigList& list : ConfigLists()) {
    const std::string_view prefix = list.section;
    if (name.size() <= prefix.size() ||
        !EqualsIgnoringAsciiCase(std::string_view(name).substr(0, prefix.size()), prefix)) {
      continue;
    }
    std::string_view digits = std::string_view(name).substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    const int count = BoundedCount(config, list);
    // The launcher asks for "link%d": a number with a leading zero is never asked for.
    if (digits.size() > 9 || digits[0] == '0') {
      return {{},
              "the launcher asks for [" + ConfigSectionName(list, 1) + "] .. [" +
                  ConfigSectionName(list, count) + "] only"};
    }
    const int number = std::stoi(std::string(digits));
    if (number > count) {
      return {{}, "beyond " + std::string(list.countKey) + "=" + std::to_string(count)};
    }
    return {ListKeyNames(list), {}};
  }
  return {{}, "no such section"};
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) {
    row[j] = j;
  }
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t above = row[j];
      bool same = EqualsIgnoringAsciiCase(a.substr(i - 1, 1), b.substr(j - 1, 1));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

bool IsKnown(std::span<const std::string> keys, std::string_view key) {
  return std::any_of(keys.begin(), keys.end(),
                     [&](const std::string& known) { return EqualsIgnoringAsciiCase(known, key); });
}

std::string UnknownKeyMessage(std::span<const std::string> keys, std::string_view key) {
  std::string message = "nothing reads this key";
  for (const std::string& known : keys) {
    if (key.size() > 2 && EditDistance(known, key) <= 2) {
      return Cat(message, " (did you mean ", known, "?)");
    }
  }
  return message;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

void CheckLines(Reporter& report) {
  const IniScan& scan = report.GetPackage().scan;
  for (const IniIgnoredLine& ignored : scan.ignored) {
    switch (ignored.why) {
      case IniIgnoredLine::Why::kNoEquals:
        report.AtLine(kWarn, FindingKind::kIgnoredLine, "", "", ignored.line,
                      "no \"=\" on this line: the launcher ignores it");
        break;
      case IniIgnoredLine::Why::kEmptyKey:
        report.AtLine(kWarn, FindingKind::kIgnoredLine, "", "", ignored.line,
                      "nothing before \"=\": the launcher ignores the line");
        break;
      case IniIgnoredLine::Why::kUnclosedSection:
        report.AtLine(kWarn, FindingKind::kIgnoredLine, "", "", ignored.line,
                      "\"[\" without \"]\": the keys after it, up to the next section, are read "
                      "by nothing");
        break;
    }
  }
  if (scan.nulLine > 0) {
    report.AtLine(kWarn, FindingKind::kNulByte, "", "", scan.nulLine,
                  "a NUL byte: the launcher reads nothing from here on");
  }
}

void CheckSectionsAndKeys(Reporter& report) {
  const Package& package = report.GetPackage();
  const IniScan& scan = package.scan;
  std::vector<SectionRole> roles;
  for (const IniSectionHeader& header : scan.sections) {
    roles.push_back(RoleOf(*package.config, header.name));
  }
  // Each unread section once, at its first header.
  std::map<std::string, bool> reported;
  for (std::size_t i = 0; i < scan.sections.size(); ++i) {
    const IniSectionHeader& header = scan.sections[i];
    if (roles[i].keys.empty() && !std::exchange(reported[Lower(header.name)], true)) {
      report.AtLine(kWarn, FindingKind::kUnreadSection, header.name, "", header.line,
                    "the launcher never reads this section (" + roles[i].unread + ")");
    }
  }
  // Entries of each (section, key), to find the ones given again.
  std::map<std::pair<std::string, std::string>, std::vector<const IniEntry*>> seen;
  for (const IniEntry& entry : scan.entries) {
    if (entry.section == IniEntry::kLostSection) {
      continue;  // reported with its "[" line
    }
    if (entry.section == IniEntry::kBeforeFirstSection) {
      report.AtLine(kWarn, FindingKind::kKeyBeforeSection, "", entry.key, entry.line,
                    "before the first section header: nothing reads it");
      continue;
    }
    const std::string& section = scan.SectionOf(entry);
    const SectionRole& role = roles[static_cast<std::size_t>(entry.section)];
    if (role.keys.empty()) {
      continue;
    }
    if (!IsKnown(role.keys, entry.key)) {
      report.AtLine(kWarn, FindingKind::kUnknownKey, section, entry.key, entry.line,
                    UnknownKeyMessage(role.keys, entry.key));
      continue;
    }
    seen[{Lower(section), Lower(entry.key)}].push_back(&entry);
  }
  for (const auto& [name, entries] : seen) {
    for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
      const IniEntry& entry = *entries[i];
      report.AtLine(kWarn, FindingKind::kDuplicateKey, scan.SectionOf(entry), entry.key, entry.line,
                    "given again on line " + std::to_string(entries.back()->line) +
                        ": only the last value counts");
    }
  }
}

void CheckMissingSections(Reporter& report) {
  const Package& package = report.GetPackage();
  for (const ConfigList& list : ConfigLists()) {
    const int count = BoundedCount(*package.config, list);
    // Runs of missing sections make one finding each.
    for (int n = 1; n <= count; ++n) {
      auto name = [&](int k) { return ConfigSectionName(list, k); };
      if (package.scan.LineOfSection(name(n)) > 0) {
        continue;
      }
      int last = n;
      while (last < count && package.scan.LineOfSection(name(last + 1)) == 0) {
        ++last;
      }
      std::string which =
          last == n ? "[" + name(n) + "] is" : "[" + name(n) + "] to [" + name(last) + "] are";
      report.AtKey(kWarn, FindingKind::kMissingSection, kGlobalSection, list.countKey,
                   which + " missing: the launcher reads " + (last == n ? "it" : "them") +
                       " as all defaults");
      n = last;
    }
  }
}

void CheckNotes(Reporter& report) {
  const LauncherConfig& config = *report.GetPackage().config;
  for (const ConfigNote& note : config.GetNotes()) {
    std::string_view value = config.GetString(note.section.c_str(), note.key.c_str(), "");
    if (note.kind == ConfigNote::Kind::kCountCut) {
      report.AtKey(kWarn, FindingKind::kCountCut, note.section, note.key,
                   std::string(value) + " is more than the launcher reads: it stops at " +
                       std::to_string(kMaxListCount));
      continue;
    }
    std::string message = std::to_string(value.size()) + " bytes, longer than the field";
    if (note.width > 0) {
      std::size_t kept = GbkPrefixLength(value, note.width - 1);
      message += " (" + std::to_string(note.width - 1) + "): the launcher keeps \"" +
                 Shown(value.substr(0, kept)) + "\"";
    }
    report.AtKey(kWarn, FindingKind::kValueCut, note.section, note.key, message);
  }
}

// ---------------------------------------------------------------------------------------------
// Function keys, registered as the game window does: in this order, a later registration
// taking the key from an earlier one.

struct Registration {
  bool menu;  // from [menuN], else from [gamebuttonN]
  int type;
  const char* operation;
};
constexpr Registration kRegistrations[] = {
    {false, 5, "close"},          {false, 8, "hide to the notification area"},
    {false, 11, "settings menu"}, {false, 7, "minimise"},
    {false, 6, "maximise"},       {false, 10, "restore"},
    {true, 2, "clear the cache"}, {true, 1, "restart"},
    {true, 3, "full screen"}};

struct Claim {
  const Registration* registration = nullptr;
  std::string section;
};

void CheckShortcuts(Reporter& report) {
  const LauncherConfig& config = *report.GetPackage().config;
  const auto& buttons = config.GetGameButtons();
  const auto& menus = config.GetMenus();
  auto sectionOf = [](bool menu, std::size_t index) {
    return ConfigSectionName(
        GetConfigList(menu ? ConfigListId::kMenus : ConfigListId::kGameButtons),
        static_cast<int>(index + 1));
  };
  auto registers = [](bool menu, int type) {
    return std::any_of(std::begin(kRegistrations), std::end(kRegistrations),
                       [&](const Registration& r) { return r.menu == menu && r.type == type; });
  };
  // Keys that can never do anything.
  for (bool menu : {false, true}) {
    const std::size_t count = menu ? menus.size() : buttons.size();
    for (std::size_t i = 0; i < count; ++i) {
      const int key = menu ? menus[i].shortCut : buttons[i].shortCut;
      const int type = menu ? menus[i].type : buttons[i].type;
      if (key == 0) {
        continue;
      }
      std::string why;
      if (!registers(menu, type)) {
        why = std::string(menu ? "a menu entry" : "a game button") + " of type " +
              std::to_string(type) + " gets no function key";
      } else if (key < 1 || key > 12) {
        why = "not a function key from 1 to 12";
      } else if (key == 10) {
        why = "F10 reaches the window as a system key, so this shortcut never runs";
      }
      if (!why.empty()) {
        report.AtKey(kWarn, FindingKind::kShortcutIgnored, sectionOf(menu, i), "shortCut",
                     "shortCut=" + std::to_string(key) + ": " + why);
      }
    }
  }
  Claim slots[13];
  for (const Registration& registration : kRegistrations) {
    const std::size_t count = registration.menu ? menus.size() : buttons.size();
    for (std::size_t i = 0; i < count; ++i) {
      const int key = registration.menu ? menus[i].shortCut : buttons[i].shortCut;
      const int type = registration.menu ? menus[i].type : buttons[i].type;
      if (type != registration.type || key < 1 || key > 12 || key == 10) {
        continue;
      }
      Claim& slot = slots[key];
      std::string section = sectionOf(registration.menu, i);
      // The same operation twice on one key is harmless.
      if (slot.registration && slot.registration != &registration) {
        report.AtKey(kWarn, FindingKind::kShortcutClash, slot.section, "shortCut",
                     "F" + std::to_string(key) + " is taken over by [" + section + "] (" +
                         registration.operation + ", line " +
                         std::to_string(report.GetPackage().scan.LineOf(section, "shortCut")) +
                         "): this entry's " + slot.registration->operation + " never runs by key");
      }
      slot = {&registration, section};
    }
  }
}

}  // namespace

void CheckConfigText(Reporter& report) {
  CheckLines(report);
  CheckSectionsAndKeys(report);
  CheckMissingSections(report);
  CheckNotes(report);
  if (report.GetPackage().configParsed) {
    CheckShortcuts(report);
  }
}

}  // namespace launcher::pack
