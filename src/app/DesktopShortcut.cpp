#include "app/DesktopShortcut.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace launcher {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The value of XDG_DESKTOP_DIR in a user-dirs.dirs text: "$HOME/..." or an absolute path, in
// double quotes, with backslash escapes.
std::optional<std::string> DesktopFromUserDirs(const std::string& text, const std::string& home) {
  std::istringstream lines(text);
  std::string line;
  std::optional<std::string> result;
  while (std::getline(lines, line)) {
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    const std::string key = "XDG_DESKTOP_DIR=";
    if (line.compare(start, key.size(), key) != 0) continue;
    std::string value = line.substr(start + key.size());
    if (value.size() < 2 || value.front() != '"') continue;
    std::string unquoted;
    bool closed = false;
    for (std::size_t i = 1; i < value.size(); ++i) {
      if (value[i] == '\\' && i + 1 < value.size()) {
        unquoted += value[++i];
      } else if (value[i] == '"') {
        closed = true;
        break;
      } else {
        unquoted += value[i];
      }
    }
    if (!closed) continue;
    if (unquoted.rfind("$HOME", 0) == 0) {
      unquoted = home + unquoted.substr(5);
    } else if (unquoted.empty() || unquoted.front() != '/') {
      continue;
    }
    result = unquoted;  // the last assignment wins, as in the shell
  }
  return result;
}

std::string ReadWholeFile(const std::string& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text(limit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(limit));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

std::optional<std::string> FindDesktopDirectoryIn(const std::string& home,
                                                  const std::string& configHome) {
  if (home.empty()) return std::nullopt;
  std::string config = configHome.empty() ? home + "/.config" : configHome;
  std::optional<std::string> desktop =
      DesktopFromUserDirs(ReadWholeFile(config + "/user-dirs.dirs", 64 * 1024), home);
  if (!desktop) desktop = home + "/Desktop";
  // A desktop set to the home folder itself means "no desktop" to the XDG tools.
  while (desktop->size() > 1 && desktop->back() == '/') desktop->pop_back();
  if (*desktop == home) return std::nullopt;
  if (!IsDirectory(*desktop)) return std::nullopt;
  return desktop;
}

std::optional<std::string> FindDesktopDirectory() {
  const char* home = std::getenv("HOME");
  const char* config = std::getenv("XDG_CONFIG_HOME");
  return FindDesktopDirectoryIn(home ? home : "", config ? config : "");
}

std::string ShortcutBaseName(std::string_view executablePath) {
  // In the file system's UTF-8 neither "/" nor "." occurs inside a multi-byte character, so a
  // plain search is the character-aware one.
  std::size_t slash = executablePath.rfind('/');
  std::string_view name =
      slash == std::string_view::npos ? executablePath : executablePath.substr(slash + 1);
  std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

std::string QuoteExecArgument(std::string_view argument) {
  // Quoting rule of the Exec key, then the string escape of every desktop-entry value (applied
  // to the backslashes the quoting produced as well), then "%" doubled for the field codes.
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string value;
  for (char c : quoted) {
    if (c == '\\') {
      value += "\\\\";
    } else if (c == '%') {
      value += "%%";
    } else if (c == '\n') {
      value += "\\n";
    } else if (c == '\r') {
      value += "\\r";
    } else if (c == '\t') {
      value += "\\t";
    } else {
      value += c;
    }
  }
  return value;
}

std::optional<std::string> ExecProgram(std::string_view execValue) {
  // Undo the string escapes first.
  std::string text;
  for (std::size_t i = 0; i < execValue.size(); ++i) {
    char c = execValue[i];
    if (c == '\\' && i + 1 < execValue.size()) {
      char n = execValue[++i];
      switch (n) {
        case 's':
          text += ' ';
          break;
        case 'n':
          text += '\n';
          break;
        case 't':
          text += '\t';
          break;
        case 'r':
          text += '\r';
          break;
        case '\\':
          text += '\\';
          break;
        default:
          text += '\\';
          text += n;  // left for the quoting rule below
          break;
      }
    } else {
      text += c;
    }
  }
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos) return std::nullopt;
  std::string program;
  if (text[i] == '"') {
    bool closed = false;
    for (++i; i < text.size(); ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) {
        program += text[++i];
      } else if (text[i] == '"') {
        closed = true;
        break;
      } else {
        program += text[i];
      }
    }
    if (!closed) return std::nullopt;
  } else {
    std::size_t end = text.find(' ', i);
    program = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
  }
  std::string unpercent;
  for (std::size_t k = 0; k < program.size(); ++k) {
    unpercent += program[k];
    if (program[k] == '%' && k + 1 < program.size() && program[k + 1] == '%') ++k;
  }
  return unpercent;
}

bool GetShortcutTarget(const std::string& shortcutPath, std::string* target) {
  std::string text = ReadWholeFile(shortcutPath, 256 * 1024);
  if (text.empty()) return false;
  std::istringstream lines(text);
  std::string line;
  bool inEntry = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    if (!inEntry || line.rfind("Exec", 0) != 0) continue;
    std::size_t eq = line.find('=');
    if (eq == std::string::npos || line.find_first_not_of(' ', 4) != eq) continue;
    auto program = ExecProgram(std::string_view(line).substr(eq + 1));
    if (!program) return false;
    *target = *program;
    return true;
  }
  return false;
}

bool ShortcutExists(const std::string& executablePath, const std::string& desktopDirectory) {
  std::unique_ptr<DIR, DirCloser> dir(opendir(desktopDirectory.c_str()));
  if (!dir) return false;
  int looked = 0;
  while (dirent* entry = readdir(dir.get())) {
    std::string_view name = entry->d_name;
    const std::string_view suffix = ".desktop";
    if (name.size() <= suffix.size() || name.substr(name.size() - suffix.size()) != suffix) {
      continue;
    }
    if (++looked > kMaxShortcutsScanned) return false;
    std::string target;
    if (GetShortcutTarget(desktopDirectory + "/" + std::string(name), &target) &&
        target == executablePath) {
      return true;
    }
  }
  return false;
}

void CreateShortcut(const std::string& executablePath, const std::string& shortcutPath) {
  std::string name = ShortcutBaseName(executablePath);
  std::string escapedName;
  for (char c : name) {
    if (c == '\\') {
      escapedName += "\\\\";
    } else if (c == '\n' || c == '\r') {
      escapedName += ' ';
    } else {
      escapedName += c;
    }
  }
  std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\nName=" + escapedName +
                     "\nExec=" + QuoteExecArgument(executablePath) +
                     "\nIcon=applications-games\nTerminal=false\nCategories=Game;\n";
  std::FILE* f = std::fopen(shortcutPath.c_str(), "wb");
  if (!f) return;
  bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !written) {
    std::remove(shortcutPath.c_str());
    return;
  }
  chmod(shortcutPath.c_str(), 0755);
}

}  // namespace launcher
