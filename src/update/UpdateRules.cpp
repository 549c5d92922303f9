#include "update/UpdateRules.h"

#include <algorithm>

#include "base/Text.h"
#include "config/LauncherConfig.h"
#include "update/UpdateFiles.h"

namespace launcher {
namespace {

// Every "\" doubled, GBK second bytes left alone.
std::string DoubleBackslashes(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size() + 8);
  for (std::size_t i = 0; i < gbk.size(); ++i) {
    char c = gbk[i];
    if (IsGbkLeadByte(static_cast<unsigned char>(c)) && i + 1 < gbk.size()) {
      out += c;
      out += gbk[++i];
      continue;
    }
    out += c;
    if (c == '\\') {
      out += '\\';
    }
  }
  return out;
}

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '"';
  quoted += text;
  quoted += '"';
  return quoted;
}

}  // namespace

std::string BuildUpdateUrl(std::string_view server, int port, std::string_view path) {
  if (server.empty()) {
    return {};
  }
  std::string url;
  if (!StartsWithNoCase(server, "http://") && !StartsWithNoCase(server, "https://")) {
    url = "http://";
  }
  url += server;
  url += ':';
  url += std::to_string(port);
  url += path;
  return url;
}

std::string FileNameFromPath(std::string_view path) {
  std::size_t slash = GbkFindLast(path, '/');
  std::size_t backslash = GbkFindLast(path, '\\');
  std::size_t last = slash == std::string_view::npos       ? backslash
                     : backslash == std::string_view::npos ? slash
                                                           : std::max(slash, backslash);
  if (last == std::string_view::npos) {
    return std::string(path);
  }
  return std::string(path.substr(last + 1));
}

void ParseVersion(std::string_view text, int* major, int* minor) {
  int* numbers[] = {major, minor};
  std::size_t field = 0;
  std::size_t pos = 0;
  while (field < 2) {
    pos = text.find_first_not_of('.', pos);
    if (pos == std::string_view::npos) {
      break;
    }
    std::size_t end = text.find('.', pos);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    // The field as a C string: the conversion stops at a NUL as the C reading would.
    *numbers[field++] = ParseConfigInt(std::string(text.substr(pos, end - pos)).c_str());
    pos = end;
  }
}

bool IsUpdateNeeded(std::string_view configuredVersion, std::string_view publishedLine) {
  int localMajor = 0, localMinor = 0, remoteMajor = 0, remoteMinor = 0;
  ParseVersion(configuredVersion, &localMajor, &localMinor);
  ParseVersion(publishedLine, &remoteMajor, &remoteMinor);
  return localMajor < remoteMajor || (localMajor == remoteMajor && localMinor < remoteMinor);
}

std::string FirstVersionLine(std::string_view body) {
  std::string_view line = body.substr(0, kVersionLineLimit);
  std::size_t lf = line.find('\n');
  if (lf != std::string_view::npos) {
    line = line.substr(0, lf);
  }
  // The line is a C string from here on: it ends at its first NUL.
  std::size_t end = line.find_first_of(std::string_view("\r\n\0", 3));
  return std::string(line.substr(0, end));
}

std::string FormatTickPrefix(std::uint32_t ticks) {
  return std::to_string(static_cast<std::int32_t>(ticks));
}

std::string ApplicationName(std::string_view executableFileName) {
  return std::string(executableFileName.substr(0, executableFileName.rfind('.')));
}

std::string UpdateBatchText(std::string_view ownPath, std::string_view downloadedPath) {
  std::string text = "@ping 127.0.0.1 -n 2 -w 1000 > nul \r\n";
  text += DoubleBackslashes("rename " + Quoted(ownPath) + " " + Quoted(kBackupName)) + "\r\n";
  // "move" rather than a rename: the download may sit in another folder than the executable,
  // and the next line starts the executable at its own path.
  text += DoubleBackslashes("move /y " + Quoted(downloadedPath) + " " + Quoted(ownPath)) + "\r\n";
  text += DoubleBackslashes(Quoted(ownPath)) + "\r\n";
  return text;
}

std::string ShellQuote(std::string_view text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}

std::string UpdateScriptText(std::string_view ownPath, std::string_view downloadedPath) {
  // In the file system's UTF-8 a "/" is never part of another character.
  std::size_t slash = ownPath.rfind('/');
  std::string backupPath = slash == std::string_view::npos
                               ? std::string(kBackupName)
                               : std::string(ownPath.substr(0, slash + 1)) + kBackupName;
  const std::string own = ShellQuote(ownPath);
  const std::string backup = ShellQuote(backupPath);
  std::string text = "sleep 1\n";
  text += "mv -f -- " + own + " " + backup + "\n";
  text += "mv -f -- " + ShellQuote(downloadedPath) + " " + own + " || mv -f -- " + backup + " " +
          own + "\n";
  text += "exec " + own + "\n";
  return text;
}

}  // namespace launcher
