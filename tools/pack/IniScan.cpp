#include "pack/IniScan.h"

#include <algorithm>

namespace launcher::pack {

namespace {

// The reader's own character classes: blanks include the line ends, so a section name may
// start on the line after its "[" (the reader skips blanks there too).
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
bool IsComment(char c) { return c == ';' || c == '#'; }

std::string TrimEnd(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) {
    --end;
  }
  return std::string(text.substr(0, end));
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

LineTable::LineTable(std::string_view text) {
  starts_.push_back(0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
    }
    if (IsLineEnd(text[i])) {
      starts_.push_back(i + 1);
    }
  }
}

int LineTable::LineAt(std::size_t offset) const {
  auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return static_cast<int>(after - starts_.begin());
}

IniScan ScanIni(std::string_view text) {
  IniScan scan;
  const LineTable lines(text);
  // The reader works on a NUL-terminated copy: nothing after a NUL byte exists for it.
  if (std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    scan.nulLine = lines.LineAt(nul);
    text = text.substr(0, nul);
  }
  const std::size_t n = text.size();
  int section = IniEntry::kBeforeFirstSection;
  std::size_t p = 0;
  auto skipToLineEnd = [&] {
    while (p < n && !IsLineEnd(text[p])) {
      ++p;
    }
  };

  while (p < n) {
    while (p < n && IsBlank(text[p])) {
      ++p;
    }
    if (p >= n) {
      break;
    }
    const int line = lines.LineAt(p);

    if (IsComment(text[p])) {
      skipToLineEnd();
      continue;
    }

    if (text[p] == '[') {
      ++p;
      while (p < n && IsBlank(text[p])) {
        ++p;
      }
      const std::size_t nameStart = p;
      while (p < n && text[p] != ']' && !IsLineEnd(text[p])) {
        ++p;
      }
      if (p >= n || text[p] != ']') {
        // The reader has already pointed its section at this text, which never ends in a name
        // it could be asked for.
        section = IniEntry::kLostSection;
        scan.ignored.push_back({IniIgnoredLine::Why::kUnclosedSection, line});
        continue;
      }
      scan.sections.push_back({TrimEnd(text.substr(nameStart, p - nameStart)), line});
      section = static_cast<int>(scan.sections.size()) - 1;
      skipToLineEnd();
      continue;
    }

    const std::size_t keyStart = p;
    while (p < n && text[p] != '=' && !IsLineEnd(text[p])) {
      ++p;
    }
    if (p >= n || text[p] != '=') {
      scan.ignored.push_back({IniIgnoredLine::Why::kNoEquals, line});
      continue;
    }
    if (p == keyStart) {
      scan.ignored.push_back({IniIgnoredLine::Why::kEmptyKey, line});
      skipToLineEnd();
      continue;
    }
    IniEntry entry;
    entry.section = section;
    entry.key = TrimEnd(text.substr(keyStart, p - keyStart));
    entry.line = line;
    ++p;
    while (p < n && !IsLineEnd(text[p]) && IsBlank(text[p])) {
      ++p;
    }
    const std::size_t valueStart = p;
    skipToLineEnd();
    entry.value = TrimEnd(text.substr(valueStart, p - valueStart));
    scan.entries.push_back(std::move(entry));
  }
  return scan;
}

const std::string& IniScan::SectionOf(const IniEntry& entry) const {
  static const std::string kNone;
  return entry.section >= 0 ? sections[static_cast<std::size_t>(entry.section)].name : kNone;
}

int IniScan::LineOf(std::string_view section, std::string_view key) const {
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (it->section >= 0 && EqualsIgnoringAsciiCase(SectionOf(*it), section) &&
        EqualsIgnoringAsciiCase(it->key, key)) {
      return it->line;
    }
  }
  return 0;
}

int IniScan::LineOfSection(std::string_view section) const {
  for (const IniSectionHeader& header : sections) {
    if (EqualsIgnoringAsciiCase(header.name, section)) {
      return header.line;
    }
  }
  return 0;
}

}  // namespace launcher::pack
