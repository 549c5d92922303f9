// A line-aware scan of configuration text that follows the launcher's INI reader byte for byte,
// so that every key the reader stores can be named with the line it came from. The reader
// itself keeps no line numbers; this scan is only for reports.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace launcher::pack {

struct IniSectionHeader {
  std::string name;  // trimmed, as the reader stores it
  int line = 0;
};

struct IniEntry {
  // Index into IniScan::sections; kBeforeFirstSection for keys above every header, kLostSection
  // for keys after a "[" line without "]" (the reader files those under a name nothing reads).
  int section = kBeforeFirstSection;
  std::string key;    // trimmed
  std::string value;  // trimmed
  int line = 0;

  static constexpr int kBeforeFirstSection = -1;
  static constexpr int kLostSection = -2;
};

// A line the reader skips although it is not blank and not a comment.
struct IniIgnoredLine {
  enum class Why { kNoEquals, kEmptyKey, kUnclosedSection };
  Why why;
  int line = 0;
};

struct IniScan {
  std::vector<IniSectionHeader> sections;  // every header, in file order (repeats included)
  std::vector<IniEntry> entries;           // every stored key, in file order
  std::vector<IniIgnoredLine> ignored;
  // The reader stops at the first NUL byte; its line, or 0 when the text has none.
  int nulLine = 0;

  // Section of an entry, or "" for keys outside every readable section.
  const std::string& SectionOf(const IniEntry& entry) const;
  // Line of the value the reader keeps for section/key (the last one given; names compare
  // without ASCII case), or 0 when the key is absent.
  int LineOf(std::string_view section, std::string_view key) const;
  // Line of the first header of section, or 0.
  int LineOfSection(std::string_view section) const;
};

IniScan ScanIni(std::string_view text);

// Line numbers of text (from 1) where every CR LF, lone CR or lone LF ends a line.
class LineTable {
 public:
  explicit LineTable(std::string_view text);
  int LineAt(std::size_t offset) const;

 private:
  std::vector<std::size_t> starts_;
};

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace launcher::pack
