// The desktop shortcut to the running executable, as a desktop entry file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace launcher {

// Most desktop files looked at when searching for an existing shortcut.
constexpr int kMaxShortcutsScanned = 1000;

// The user's desktop folder from the XDG user directories (XDG_CONFIG_HOME/user-dirs.dirs,
// falling back to $HOME/Desktop), when it exists as a directory. Never created.
std::optional<std::string> FindDesktopDirectory();

// The same from explicit values, for tests: home is $HOME, configHome $XDG_CONFIG_HOME (may be
// empty).
std::optional<std::string> FindDesktopDirectoryIn(const std::string& home,
                                                  const std::string& configHome);

// File name without folder and without the part from its last "." on: game.setup.exe gives
// game.setup.
std::string ShortcutBaseName(std::string_view executablePath);

// An argument of a desktop entry's Exec key, quoted and escaped as desktop entries require.
std::string QuoteExecArgument(std::string_view argument);

// The program of an Exec value (its first argument, unquoted and unescaped), or nothing when the
// value is malformed.
std::optional<std::string> ExecProgram(std::string_view execValue);

// The program a desktop entry file starts, or nothing when it cannot be read.
bool GetShortcutTarget(const std::string& shortcutPath, std::string* target);

// True when one of the first kMaxShortcutsScanned "*.desktop" files in desktopDirectory starts
// executablePath.
bool ShortcutExists(const std::string& executablePath, const std::string& desktopDirectory);

// Writes the desktop entry (replacing a file of that name) and marks it executable. Silent.
void CreateShortcut(const std::string& executablePath, const std::string& shortcutPath);

}  // namespace launcher
