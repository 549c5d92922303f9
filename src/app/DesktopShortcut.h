// The desktop shortcut to the running executable: a desktop entry file on X desktops, a shell
// link on Windows. Finding the desktop, reading and writing the platform's shortcut files are
// the platform's (DesktopShortcutPosix.cpp, DesktopShortcutWin.cpp); the rest is shared.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace launcher {

// Most shortcut files looked at when searching for an existing shortcut.
constexpr int kMaxShortcutsScanned = 1000;

// The user's desktop folder, when it exists as a directory; never created. X desktops: from the
// XDG user directories (XDG_CONFIG_HOME/user-dirs.dirs, falling back to $HOME/Desktop); Windows:
// the user's known desktop folder.
std::optional<std::string> FindDesktopDirectory();

// The same from explicit values, for tests: home is $HOME, configHome $XDG_CONFIG_HOME (may be
// empty).
std::optional<std::string> FindDesktopDirectoryIn(const std::string& home,
                                                  const std::string& configHome);

// File name without folder and without the part from its last "." on: game.setup.exe gives
// game.setup. On Windows "\\" separates folders as well as "/".
std::string ShortcutBaseName(std::string_view executablePath);

// The path of a new shortcut called name on desktopDirectory, with the extension of the
// platform's shortcut files (".desktop", ".lnk").
std::string ShortcutPathIn(const std::string& desktopDirectory, const std::string& name);

// The attempt-th choice of a name for a new file: path itself (attempt 1), then path with "-2",
// "-3" ... before its extension (which path ends with).
std::string NthFileName(const std::string& path, std::string_view extension, int attempt);

// An argument of a desktop entry's Exec key, quoted and escaped as desktop entries require.
std::string QuoteExecArgument(std::string_view argument);

// The program of an Exec value (its first argument, unquoted and unescaped), or nothing when the
// value is malformed.
std::optional<std::string> ExecProgram(std::string_view execValue);

// A value of a desktop entry's string keys (Name, Path, Icon), escaped as desktop entries
// require.
std::string EscapeEntryValue(std::string_view value);

// The program a shortcut file starts; false when it cannot be read. X desktops: a desktop entry,
// read only when it is a regular file (a symbolic link to one is followed); a FIFO or device is
// never opened, so this never blocks. Windows: a shell link's target path.
bool GetShortcutTarget(const std::string& shortcutPath, std::string* target);

// True when one of the first kMaxShortcutsScanned shortcut files ("*.desktop", "*.lnk") in
// desktopDirectory starts executablePath. On Windows, where file names are compared without
// case, so are the paths.
bool ShortcutExists(const std::string& executablePath, const std::string& desktopDirectory);

// Writes the shortcut as a new file (a desktop entry with mode 0755, or a shell link): never
// over an existing file (another program's shortcut of that name stays as it is), never through
// a symbolic link. A name that is taken gets "-2", "-3" ... before the extension; after
// kMaxNameAttempts taken names nothing is written. The shortcut starts the program in its own
// folder. iconPath is the desktop entry's Icon= value (empty: none); a shell link shows the
// executable's own icon and takes none. Returns the path written. Silent.
std::optional<std::string> CreateShortcut(const std::string& executablePath,
                                          const std::string& shortcutPath,
                                          const std::string& iconPath = {});

constexpr int kMaxNameAttempts = 9;

// The user's data folder, where the shortcut's icon is installed: $XDG_DATA_HOME when absolute,
// otherwise $HOME/.local/share. None on Windows, where the shortcut needs no icon file.
std::optional<std::string> FindDataDirectory();

// Installs the shortcut's icon, a square PNG of side pixels, as
// dataDirectory/icons/hicolor/<side>x<side>/apps/<name>.png and returns its path. The name is
// made of the executable's base name and a hash of its path, so launchers of one name in
// different folders do not share an icon. An existing file with the same bytes is used as it is;
// another file of that name is left alone and the next name tried, as for CreateShortcut.
// Folders are created as needed. Nothing when no file could be written.
std::optional<std::string> InstallShortcutIcon(const std::string& dataDirectory,
                                               const std::string& executablePath,
                                               const std::vector<std::uint8_t>& png, int side);

// The icon for the desktop entry: the operator's PNG when it is square with a side of 16 to 1024
// pixels, otherwise the built-in icon. side receives the side in pixels.
std::vector<std::uint8_t> ShortcutIconPng(const std::vector<std::uint8_t>* operatorIcon, int* side);

}  // namespace launcher
