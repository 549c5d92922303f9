// What a downloaded build must be before it may take the running launcher's place: an
// executable of the running one's kind that carries a package this launcher could start, of
// exactly the published version, and (when the package asks for it) signed by its publisher.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace launcher {

// The kind of machine code a file holds, from its headers alone.
struct ExecutableFormat {
  enum class Container { kNone, kElf, kPe };
  Container container = Container::kNone;
  unsigned wordBits = 0;  // 32 or 64
  bool bigEndian = false;
  unsigned machine = 0;  // e_machine of ELF, Machine of PE

  bool IsExecutable() const { return container != Container::kNone; }
  bool operator==(const ExecutableFormat&) const = default;
};

// Reads the headers of an ELF executable or shared object, or of a PE image that is not a DLL.
// Anything else (a script, a library, bytes cut short) gives Container::kNone. Pure.
ExecutableFormat ReadExecutableFormat(const std::uint8_t* data, std::size_t size);

// The public key a package may carry to require signed updates, and the sizes of the key and of
// a signature file (raw bytes of an Ed25519 key and of a detached signature).
constexpr char kUpdateKeyEntry[] = "config/update.pub";
constexpr std::size_t kUpdateKeyBytes = 32;
constexpr std::size_t kUpdateSignatureBytes = 64;
// Appended to the executable's address on the server for the address of its signature.
constexpr char kSignatureSuffix[] = ".sig";

// Why a build was refused.
enum class BuildCheck {
  kOk,
  kUnreadable,       // the file cannot be read
  kBadSignature,     // a signature was required and is missing, malformed or wrong
  kOtherFormat,      // not an executable, or one for another format or machine
  kNoArchive,        // no package follows the executable, or it does not open
  kNoConfiguration,  // no cg.txt, or one the launcher would refuse (no link)
  kNoPicture,        // the launcher's background picture is missing
  kOtherVersion,     // the packaged version is not the published one
};
const char* BuildCheckName(BuildCheck check);

// What the build is checked against.
struct BuildExpectation {
  ExecutableFormat format;         // the running launcher's
  std::string publishedVersion;    // first line of the version text
  bool signatureRequired = false;  // the running package carries a key
  std::string publicKey;           // its bytes (kUpdateKeyBytes of them when it is usable)
  std::string signature;           // the detached signature served with the build
};

// Any thread. Checks the file at path; reads it, writes nothing and shows nothing. The signature
// is checked first, over the whole file, so that nothing of an unsigned file is parsed. A key of
// the wrong size refuses every build (the package asks for signatures it cannot check). Versions
// are equal when their (major, minor) readings are, so an update that installs never finds
// itself outdated.
BuildCheck CheckDownloadedBuild(const std::string& path, const BuildExpectation& expected);

// Any thread. True when an Ed25519 detached signature over message is valid for publicKey.
bool SignatureIsValid(std::string_view message, std::string_view signature,
                      std::string_view publicKey);

}  // namespace launcher
