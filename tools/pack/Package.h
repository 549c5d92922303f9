// What the packer works on: a skin folder about to be packed, or an executable that already
// carries its archive, read into one form. Checking, inspecting, building and extracting all
// start from a Package, so each says the same about the same files.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/Archive.h"
#include "config/LauncherConfig.h"
#include "pack/IniScan.h"

namespace launcher::pack {

// Every entry the launcher reads lies under this folder of the archive.
inline constexpr std::string_view kEntryPrefix = "config/";
inline constexpr std::string_view kConfigEntry = "config/cg.txt";

struct PackageEntry {
  enum class State {
    kRead,      // bytes hold the whole entry
    kCorrupt,   // the launcher finds it, but it does not inflate: read as missing
    kRefused,   // sizes that cannot be true, encryption or an over-long name: read as missing
    kShadowed,  // an earlier entry has the same name and is the one the launcher reads
  };
  std::string name;  // as stored in the archive, "config/cg.txt"
  State state = State::kRead;
  // A folder's file (for cg.txt: the GBK text that gets packed). Empty for an executable's
  // entries, which are inflated one at a time when needed (Package::Read).
  std::string bytes;
  std::uint64_t size = 0;            // uncompressed, as the archive states it
  std::uint64_t compressedSize = 0;  // 0 for a folder's files (not compressed yet)
  ArchiveEntryInfo info;             // an executable's entry: where the reader finds it
};

// A file of a skin folder that is not packed, and why.
struct RefusedFile {
  enum class Reason {
    kLinkOutside,  // a symbolic link that leads out of the folder (or nowhere)
    kSpecial,      // a FIFO, socket or device
    kTooLarge,     // 4 GiB or more: beyond a Zip entry without extensions
  };
  std::string name;
  Reason reason;
};

// How cg.txt was written.
enum class TextForm {
  kGbk,          // the launcher's own form; packed as it is
  kUtf8,         // valid UTF-8 with non-ASCII bytes and no byte-order mark
  kUtf8WithBom,  // starts with the UTF-8 byte-order mark
};

// A line of UTF-8 text with characters GBK cannot hold (or bytes that are not UTF-8).
struct UnconvertibleLine {
  int line = 0;
  std::string characters;  // the offending characters, UTF-8 (bytes that are not UTF-8 as "?")
};

// cg.txt of a skin folder made ready for packing.
struct PreparedText {
  TextForm form = TextForm::kGbk;
  std::string gbk;  // the text to pack; characters GBK cannot hold appear as "?"
  std::vector<UnconvertibleLine> unconvertible;  // ascending by line
};
PreparedText PrepareConfigText(std::string_view fileBytes);

// Owns the launcher's configuration model (and with it the mapped executable, for a package
// read from one). Movable, not copyable.
struct Package {
  enum class Source { kSkinFolder, kExecutable };
  Source source = Source::kSkinFolder;
  std::string path;  // as the user named it

  // Folder: its regular files by name, as "config/<name>". Executable: central-directory order.
  std::vector<PackageEntry> entries;
  // Folder: subfolders, which are not packed, and files refused (an error: build stops).
  std::vector<std::string> skipped;
  std::vector<RefusedFile> refused;

  // Executable only. openMessages holds what the launcher shows (UTF-8) when it cannot map the
  // file or open its archive; empty when the archive opened.
  ArchiveLocation location;
  bool archiveOpen = false;
  ZipOpenError archiveError = ZipOpenError::kNone;
  bool listingComplete = true;  // false: the central directory breaks off after the entries
  std::vector<std::string> openMessages;

  // cg.txt: configText is what the launcher parses (GBK), scan its lines.
  bool hasConfig = false;  // found and readable
  TextForm configForm = TextForm::kGbk;
  std::vector<UnconvertibleLine> unconvertible;  // folder only, see PreparedText
  std::string configText;
  IniScan scan;
  std::unique_ptr<LauncherConfig> config = std::make_unique<LauncherConfig>();
  bool configLoaded = false;  // the INI reader took the text
  bool configParsed = false;  // ParseConfig succeeded (linkCount of 1 or more)

  // The entry the launcher reads under name (exact, case-sensitive), if it can read it.
  const PackageEntry* Find(std::string_view name) const;
  // The whole bytes of a readable entry; nothing when it does not inflate. An executable's
  // entry is inflated anew at every call, so only one is held at a time.
  std::optional<std::string> Read(const PackageEntry& entry) const;
  // True when an entry could not be read or the directory breaks off.
  bool Damaged() const;
  // A file as the user knows it: "skin/cg.txt" for a folder, "game!config/cg.txt" otherwise.
  std::string Describe(std::string_view entryName) const;
};

// A package, or why there is none (the path cannot be read at all).
struct PackageResult {
  std::optional<Package> package;
  std::string error;
};

PackageResult ReadSkinFolder(const std::string& path);
// A file whose archive cannot be opened still gives a package, with openMessages set.
PackageResult ReadPackedExecutable(const std::string& path);
// A folder or an executable, by what path is.
PackageResult ReadPackage(const std::string& path);

}  // namespace launcher::pack
