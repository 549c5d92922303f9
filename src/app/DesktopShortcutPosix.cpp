// The desktop shortcut on X desktops: a desktop entry file in the XDG desktop folder.
#include <cstdlib>
#include <sstream>

#include "app/AppPlatform.h"
#include "app/DesktopShortcut.h"

namespace launcher {

std::optional<std::string> FindDesktopDirectory() {
  const char* home = std::getenv("HOME");
  const char* config = std::getenv("XDG_CONFIG_HOME");
  return FindDesktopDirectoryIn(home ? home : "", config ? config : "");
}

bool GetShortcutTarget(const std::string& shortcutPath, std::string* target) {
  std::string text = ReadRegularFilePrefix(shortcutPath, std::size_t{256} << 10);
  if (text.empty()) {
    return false;
  }
  std::istringstream lines(text);
  std::string line;
  bool inEntry = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (!line.empty() && line.front() == '[') {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    if (!inEntry || line.rfind("Exec", 0) != 0) {
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string::npos || line.find_first_not_of(' ', 4) != eq) {
      continue;
    }
    auto program = ExecProgram(std::string_view(line).substr(eq + 1));
    if (!program) {
      return false;
    }
    *target = *program;
    return true;
  }
  return false;
}

bool ShortcutExists(const std::string& executablePath, const std::string& desktopDirectory) {
  int looked = 0;
  bool found = false;
  ForEachFolderEntry(desktopDirectory, [&](std::string_view name) {
    const std::string_view suffix = ".desktop";
    if (name.size() <= suffix.size() || name.substr(name.size() - suffix.size()) != suffix) {
      return true;
    }
    if (++looked > kMaxShortcutsScanned) {
      return false;
    }
    std::string target;
    found = GetShortcutTarget(desktopDirectory + "/" + std::string(name), &target) &&
            target == executablePath;
    return !found;
  });
  return found;
}

std::optional<std::string> CreateShortcut(const std::string& executablePath,
                                          const std::string& shortcutPath,
                                          const std::string& iconPath) {
  // Started from the desktop, the program runs in its own folder, so that what it writes
  // beside itself (the files of an update) never lands in the file manager's folder.
  std::size_t slash = executablePath.rfind('/');
  std::string folder = slash == std::string::npos ? std::string(".")
                       : slash == 0               ? std::string("/")
                                                  : executablePath.substr(0, slash);
  std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\nName=" +
                     EscapeEntryValue(ShortcutBaseName(executablePath)) +
                     "\nExec=" + QuoteExecArgument(executablePath) +
                     "\nPath=" + EscapeEntryValue(folder) + "\n";
  if (!iconPath.empty()) {
    text += "Icon=" + EscapeEntryValue(iconPath) + "\n";
  }
  text += "Terminal=false\nCategories=Game;\n";
  for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
    std::string path = NthFileName(shortcutPath, ".desktop", attempt);
    bool taken = false;
    if (WriteNewFile(path, text, 0755, &taken)) {
      return path;
    }
    if (!taken) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<std::string> FindDataDirectory() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') {
    return std::string(data);
  }
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') {
    return std::nullopt;
  }
  return std::string(home) + "/.local/share";
}

std::string ShortcutPathIn(const std::string& desktopDirectory, const std::string& name) {
  return desktopDirectory + "/" + name + ".desktop";
}

}  // namespace launcher
