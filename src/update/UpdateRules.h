// The self-update's rules as pure functions: URLs, local names, the version text and its
// comparison, and the text of the replacement scripts. No I/O here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace launcher {

// The URL of a resource on the update server: "http://" (unless the server already names
// "http://" or "https://", in any letter case) + server + ":" + port + path. The port is always
// written and the path is taken as configured: nothing is inserted or escaped. An empty server
// gives an empty URL, which no transfer accepts.
std::string BuildUpdateUrl(std::string_view server, int port, std::string_view path);

// The part after the last "/" or "\" (the whole path without either; empty when it ends in
// one). Configuration texts are GBK, so a "\" that is the second byte of a double-byte
// character is not a separator.
std::string FileNameFromPath(std::string_view path);

// Reads "major.minor": the text is split at "." with empty fields skipped (".5" is 5), the first
// two fields are read as C integers (leading white space, optional sign, digits up to the first
// non-digit, 0 without digits, held at the 32-bit limits). A missing field leaves its number as
// it was; later fields are ignored.
void ParseVersion(std::string_view text, int* major, int* minor);

// True when the published version is newer than the configured one, comparing (major, minor) as
// signed numbers: 1.34 is newer than 1.4, 1.10 newer than 1.9.
bool IsUpdateNeeded(std::string_view configuredVersion, std::string_view publishedLine);

// Bytes of the version text taken as its first line: at most kVersionLineLimit bytes up to the
// first line feed, then cut at the first CR, LF or NUL.
constexpr std::size_t kVersionLineLimit = 126;
std::string FirstVersionLine(std::string_view body);

// The prefix that makes this run's download names unique: the millisecond tick count as a
// signed 32-bit number ("-2" for 0xFFFFFFFE, after about 49.7 days of uptime).
std::string FormatTickPrefix(std::uint32_t ticks);

// The application's name, the user agent of every transfer: the executable's file name (without
// its folder) less the part from its last ".".
std::string ApplicationName(std::string_view executableFileName);

// The Windows update batch: four lines ended by CR LF. It waits about a second, renames the old
// executable to the backup name in its folder, moves the download to the executable's own path
// (whatever folder it was downloaded to) and starts it. Every "\" in the paths is doubled, except
// the second byte of a GBK double-byte character. Paths are ANSI (GBK) text. The Windows build
// does not run it: a running executable's file may be renamed there, so the program moves
// the old build aside and the new one into its place itself (InstallBuild), with no wait for the
// process to end.
std::string UpdateBatchText(std::string_view ownPath, std::string_view downloadedPath);

// A text taken literally by a POSIX shell: in single quotes, each ' written as '\''.
std::string ShellQuote(std::string_view text);

// A POSIX replacement script with the same four steps as the batch: wait about a second, move
// the old executable to the backup name in its folder, move the download to the own path
// (putting the old one back when that fails) and start it in place of the shell. Paths are
// file-system bytes and may hold anything but NUL. The Linux build does not use it: a running
// executable's file may be renamed over there, so the program installs the new build itself by
// one rename (InstallBuild), with no instant at which the path is empty.
std::string UpdateScriptText(std::string_view ownPath, std::string_view downloadedPath);

}  // namespace launcher
