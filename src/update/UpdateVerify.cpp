#include "update/UpdateVerify.h"

#ifndef _WIN32
#include <sodium.h>
#endif

#include <vector>

#include "config/Archive.h"
#include "config/LauncherConfig.h"
#include "update/Ed25519.h"
#include "update/UpdateRules.h"

namespace launcher {
namespace {

unsigned Read16(const std::uint8_t* p, bool bigEndian) {
  return bigEndian ? (unsigned{p[0]} << 8) | p[1] : (unsigned{p[1]} << 8) | p[0];
}

std::uint32_t Read32Le(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

ExecutableFormat ReadElf(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHeaderPart = 20;  // identification, type and machine
  if (size < kHeaderPart) {
    return {};
  }
  const std::uint8_t wordClass = data[4];
  const std::uint8_t encoding = data[5];
  if ((wordClass != 1 && wordClass != 2) || (encoding != 1 && encoding != 2)) {
    return {};
  }
  const bool big = encoding == 2;
  const unsigned type = Read16(data + 16, big);
  constexpr unsigned kExecutable = 2;
  constexpr unsigned kSharedObject = 3;  // position-independent executables
  if (type != kExecutable && type != kSharedObject) {
    return {};
  }
  return {ExecutableFormat::Container::kElf, wordClass == 1 ? 32u : 64u, big,
          Read16(data + 18, big)};
}

ExecutableFormat ReadPe(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kNewHeaderOffset = 0x3C;
  if (size < kNewHeaderOffset + 4) {
    return {};
  }
  const std::uint64_t pe = Read32Le(data + kNewHeaderOffset);
  constexpr std::size_t kThroughMagic = 26;  // signature, file header, optional header magic
  if (pe > size || size - pe < kThroughMagic) {
    return {};
  }
  const std::uint8_t* h = data + pe;
  if (h[0] != 'P' || h[1] != 'E' || h[2] != 0 || h[3] != 0) {
    return {};
  }
  const unsigned characteristics = Read16(h + 22, false);
  constexpr unsigned kExecutableImage = 0x0002;
  constexpr unsigned kDll = 0x2000;
  if ((characteristics & kExecutableImage) == 0 || (characteristics & kDll) != 0) {
    return {};
  }
  const unsigned magic = Read16(h + 24, false);
  if (magic != 0x10B && magic != 0x20B) {
    return {};
  }
  return {ExecutableFormat::Container::kPe, magic == 0x10B ? 32u : 64u, false,
          Read16(h + 4, false)};
}

bool SameVersion(std::string_view packaged, std::string_view published) {
  int packagedMajor = 0, packagedMinor = 0, publishedMajor = 0, publishedMinor = 0;
  ParseVersion(packaged, &packagedMajor, &packagedMinor);
  ParseVersion(published, &publishedMajor, &publishedMinor);
  return packagedMajor == publishedMajor && packagedMinor == publishedMinor;
}

}  // namespace

ExecutableFormat ReadExecutableFormat(const std::uint8_t* data, std::size_t size) {
  if (size >= 4 && data[0] == 0x7F && data[1] == 'E' && data[2] == 'L' && data[3] == 'F') {
    return ReadElf(data, size);
  }
  if (size >= 2 && data[0] == 'M' && data[1] == 'Z') {
    return ReadPe(data, size);
  }
  return {};
}

const char* BuildCheckName(BuildCheck check) {
  switch (check) {
    case BuildCheck::kOk:
      return "ok";
    case BuildCheck::kUnreadable:
      return "unreadable";
    case BuildCheck::kBadSignature:
      return "bad signature";
    case BuildCheck::kOtherFormat:
      return "not an executable of this machine";
    case BuildCheck::kNoArchive:
      return "no package";
    case BuildCheck::kNoConfiguration:
      return "no usable configuration";
    case BuildCheck::kNoPicture:
      return "no background picture";
    case BuildCheck::kOtherVersion:
      return "not the published version";
  }
  return "?";
}

// Linux has libsodium installed with the system and checks with it; Windows has no such library
// and checks with our own verifier, which is as strict.
#ifdef _WIN32
constexpr std::size_t kSignatureBytes = kEd25519SignatureBytes;
constexpr std::size_t kPublicKeyBytes = kEd25519PublicKeyBytes;
#else
constexpr std::size_t kSignatureBytes = crypto_sign_BYTES;
constexpr std::size_t kPublicKeyBytes = crypto_sign_PUBLICKEYBYTES;
static_assert(kSignatureBytes == kEd25519SignatureBytes);
static_assert(kPublicKeyBytes == kEd25519PublicKeyBytes);
#endif

bool SignatureIsValid(std::string_view message, std::string_view signature,
                      std::string_view publicKey) {
  if (signature.size() != kSignatureBytes || publicKey.size() != kPublicKeyBytes) {
    return false;
  }
#ifdef _WIN32
  return Ed25519Verify(reinterpret_cast<const unsigned char*>(signature.data()),
                       reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                       reinterpret_cast<const unsigned char*>(publicKey.data()));
#else
  // Idempotent and safe to call from any thread; below 0 the library cannot work at all.
  if (sodium_init() < 0) {
    return false;
  }
  return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                     reinterpret_cast<const unsigned char*>(message.data()),
                                     message.size(),
                                     reinterpret_cast<const unsigned char*>(publicKey.data())) == 0;
#endif
}

BuildCheck CheckDownloadedBuild(const std::string& path, const BuildExpectation& expected) {
  static_assert(kUpdateKeyBytes == kPublicKeyBytes);
  static_assert(kUpdateSignatureBytes == kSignatureBytes);
  MappedFile file;
  if (file.Open(path) != MappedFile::Status::kOk) {
    return BuildCheck::kUnreadable;
  }
  const std::string_view bytes(reinterpret_cast<const char*>(file.Data()), file.Size());
  if (expected.signatureRequired &&
      !SignatureIsValid(bytes, expected.signature, expected.publicKey)) {
    return BuildCheck::kBadSignature;
  }
  const ExecutableFormat format = ReadExecutableFormat(file.Data(), file.Size());
  if (!format.IsExecutable() || format != expected.format) {
    return BuildCheck::kOtherFormat;
  }

  // The same steps as a start of the build, without a message sink: nothing is shown.
  LauncherConfig config;
  if (!config.OpenArchiveAt(path)) {
    return BuildCheck::kNoArchive;
  }
  if (!config.LoadConfigFile("config/cg.txt") || !config.ParseConfig()) {
    return BuildCheck::kNoConfiguration;
  }
  std::vector<std::uint8_t> picture;
  if (!config.ReadEntry("config/main1.png", &picture)) {
    return BuildCheck::kNoPicture;
  }
  if (!SameVersion(config.GetSettings().version, expected.publishedVersion)) {
    return BuildCheck::kOtherVersion;
  }
  return BuildCheck::kOk;
}

}  // namespace launcher
