#include "app/DesktopShortcut.h"

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "app/AppPlatform.h"
#include "config/LauncherConfig.h"
#include "config/Png.h"
#include "res/AppIcon.h"

namespace launcher {
namespace {

// The value of XDG_DESKTOP_DIR in a user-dirs.dirs text: "$HOME/..." or an absolute path, in
// double quotes, with backslash escapes.
std::optional<std::string> DesktopFromUserDirs(const std::string& text, const std::string& home) {
  std::istringstream lines(text);
  std::string line;
  std::optional<std::string> result;
  while (std::getline(lines, line)) {
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') {
      continue;
    }
    const std::string key = "XDG_DESKTOP_DIR=";
    if (line.compare(start, key.size(), key) != 0) {
      continue;
    }
    std::string value = line.substr(start + key.size());
    if (value.size() < 2 || value.front() != '"') {
      continue;
    }
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
    if (!closed) {
      continue;
    }
    if (unquoted.rfind("$HOME", 0) == 0) {
      unquoted.replace(0, 5, home);
    } else if (unquoted.empty() || unquoted.front() != '/') {
      continue;
    }
    result = unquoted;  // the last assignment wins, as in the shell
  }
  return result;
}

}  // namespace

std::optional<std::string> FindDesktopDirectoryIn(const std::string& home,
                                                  const std::string& configHome) {
  if (home.empty()) {
    return std::nullopt;
  }
  std::string config = configHome.empty() ? home + "/.config" : configHome;
  std::optional<std::string> desktop = DesktopFromUserDirs(
      ReadRegularFilePrefix(config + "/user-dirs.dirs", std::size_t{64} << 10), home);
  if (!desktop) {
    desktop = home + "/Desktop";
  }
  // A desktop set to the home folder itself means "no desktop" to the XDG tools.
  while (desktop->size() > 1 && desktop->back() == '/') {
    desktop->pop_back();
  }
  if (*desktop == home) {
    return std::nullopt;
  }
  if (!IsDirectory(*desktop)) {
    return std::nullopt;
  }
  return desktop;
}

std::string NthFileName(const std::string& path, std::string_view extension, int attempt) {
  if (attempt == 1) {
    return path;
  }
  return path.substr(0, path.size() - extension.size()) + "-" + std::to_string(attempt) +
         std::string(extension);
}

std::string ShortcutBaseName(std::string_view executablePath) {
  // In the file system's UTF-8 neither a separator nor "." occurs inside a multi-byte character,
  // so a plain search is the character-aware one. Windows separates folders with "\\" as well.
  constexpr std::string_view kSeparators =
      std::filesystem::path::preferred_separator == '/' ? "/" : "/\\";
  std::size_t slash = executablePath.find_last_of(kSeparators);
  std::string_view name =
      slash == std::string_view::npos ? executablePath : executablePath.substr(slash + 1);
  std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) {
    name = name.substr(0, dot);
  }
  return std::string(name);
}

std::string QuoteExecArgument(std::string_view argument) {
  // Quoting rule of the Exec key, then the string escape of every desktop-entry value (applied
  // to the backslashes the quoting produced as well), then "%" doubled for the field codes.
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') {
      quoted += '\\';
    }
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
  if (i == std::string::npos) {
    return std::nullopt;
  }
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
    if (!closed) {
      return std::nullopt;
    }
  } else {
    std::size_t end = text.find(' ', i);
    program = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
  }
  std::string unpercent;
  for (std::size_t k = 0; k < program.size(); ++k) {
    unpercent += program[k];
    if (program[k] == '%' && k + 1 < program.size() && program[k + 1] == '%') {
      ++k;
    }
  }
  return unpercent;
}

std::string EscapeEntryValue(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == ' ' && i == 0) {
      out += "\\s";  // a leading blank would be trimmed by readers
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> InstallShortcutIcon(const std::string& dataDirectory,
                                               const std::string& executablePath,
                                               const std::vector<std::uint8_t>& png, int side) {
  if (png.empty() || side <= 0 || dataDirectory.empty()) {
    return std::nullopt;
  }
  const std::string size = std::to_string(side) + "x" + std::to_string(side);
  const std::string folder = dataDirectory + "/icons/hicolor/" + size + "/apps";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    return std::nullopt;
  }
  // FNV-1a of the executable's path: stable from run to run, different between folders.
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : executablePath) {
    hash = (hash ^ c) * 16777619u;
  }
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", hash);
  const std::string first = folder + "/" + ShortcutBaseName(executablePath) + "-" + hex + ".png";
  const std::string_view bytes(reinterpret_cast<const char*>(png.data()), png.size());
  for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
    std::string path = NthFileName(first, ".png", attempt);
    bool taken = false;
    if (WriteNewFile(path, bytes, 0644, &taken)) {
      return path;
    }
    if (!taken) {
      return std::nullopt;
    }
    if (ReadRegularFilePrefix(path, png.size() + 1) == bytes) {
      return path;  // ours, from before
    }
  }
  return std::nullopt;
}

std::vector<std::uint8_t> ShortcutIconPng(const std::vector<std::uint8_t>* operatorIcon,
                                          int* side) {
  if (operatorIcon) {
    Bitmap icon;
    if (DecodePng(operatorIcon->data(), operatorIcon->size(), &icon) && icon.width == icon.height &&
        icon.width >= kMinIconSide && icon.width <= kMaxIconSide) {
      *side = icon.width;
      return *operatorIcon;
    }
  }
  constexpr int kBuiltInSide = 128;
  *side = kBuiltInSide;
  return EncodePng(res::AppIcon(kBuiltInSide));
}

}  // namespace launcher
