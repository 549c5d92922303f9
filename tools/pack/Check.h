// What would go wrong with a package when the launcher starts it. Errors are what stops
// start-up or leaves a window unusable; warnings are what the launcher silently reads
// differently from what the file seems to say; notes are changes the packer makes itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pack/Package.h"

namespace launcher::pack {

enum class Severity { kNote, kWarning, kError };

enum class FindingKind {
  // Errors (some become warnings when only a window that never opens needs the file).
  kArchive,         // the executable's archive cannot be located or opened
  kMissingConfig,   // no readable cg.txt
  kConfigRefused,   // the INI reader refused the text
  kNotGbk,          // UTF-8 cg.txt with characters GBK cannot hold
  kLinkCount,       // linkCount below 1: start-up ends silently
  kMissingPicture,  // a picture the launcher loads is missing (or does not inflate)
  kBadPicture,      // a picture the launcher loads does not decode
  kRefusedFile,     // a file of the skin folder that is not packed (link out, special, too large)
  kUpdateKey,       // config/update.pub is not a public key (a note when it is, or is absent)
  // Warnings.
  kValueCut,          // a text longer than its field
  kCountCut,          // a count above the launcher's bound
  kMissingSection,    // a section within a count is absent: read as defaults
  kNoPictureEntry,    // an edgeImage or a game button's image names no [gamePicN]
  kSpriteRect,        // a [gamePicN] rectangle (or a button state cut from it) leaves style.png
  kShortcutClash,     // two entries claim one function key for different operations
  kShortcutIgnored,   // a shortCut that never triggers anything
  kUnknownKey,        // a key nothing reads
  kUnreadSection,     // a section nothing reads (beyond its count, or an unknown name)
  kKeyBeforeSection,  // a key above the first section header
  kDuplicateKey,      // a key given again in its section: only the last counts
  kIgnoredLine,       // a line the reader skips ("=" missing, empty key, "[" without "]")
  kNulByte,           // the reader stops at a NUL byte
  kTextForm,          // cg.txt in a form the launcher reads differently (BOM, UTF-8, not GBK)
  kUnusedFile,        // a file nothing reads
  kSkippedFile,       // a folder entry that is not packed
  kDuplicateEntry,    // an archive entry hidden by an earlier one of the same name
  kDamagedEntry,      // an archive entry that cannot be read, or a directory that breaks off
  kArchiveStart,      // the executable's headers and the Zip end record disagree
  kNoGameWindow,      // nothing can ever open the game window
  kEmptyGameHeader,   // every address starts the game
  kIcon,              // config/icon.png is no square PNG of a sensible size (a note when it is)
  // Notes.
  kConverted,  // UTF-8 cg.txt packed as GBK
};

const char* FindingKindName(FindingKind kind);

struct Finding {
  Severity severity = Severity::kWarning;
  FindingKind kind = FindingKind::kUnknownKey;
  std::string file;     // as Package::Describe names it
  std::string section;  // without brackets; empty when the finding is not about one
  std::string key;
  int line = 0;         // in cg.txt, from 1; 0 when there is none
  std::string message;  // UTF-8
};

// Every finding about the package, errors first, each group in file and line order.
std::vector<Finding> CheckPackage(const Package& package);

// "file:line: error: [section] key: message" (parts that are empty are left out).
std::string FormatFinding(const Finding& finding);

// 2 when there is an error, 1 when there are warnings only, 0 otherwise.
int ExitCodeFor(const std::vector<Finding>& findings);
bool HasErrors(const std::vector<Finding>& findings);

}  // namespace launcher::pack
