// Signed updates, the packer's side: the operator's Ed25519 key pair, the signature of a built
// executable, and the public key packed into a launcher so that it can verify its updates.
//
// Files, all raw bytes without any framing:
//   secret key  64 bytes, libsodium's crypto_sign secret key (seed followed by the public key)
//   public key  32 bytes; packed as config/update.pub
//   EXE.sig     64 bytes, crypto_sign_detached over the whole executable file
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pack/Package.h"

namespace launcher::pack {

inline constexpr std::string_view kUpdateKeyEntry = "config/update.pub";
inline constexpr std::string_view kSignatureSuffix = ".sig";
inline constexpr std::string_view kPublicKeySuffix = ".pub";

// What a package says about its updates.
struct UpdateKeyState {
  enum class Kind {
    kAbsent,     // no config/update.pub: updates are not signed
    kValid,      // a public key
    kMalformed,  // present, but not a usable public key (problem says why)
  };
  Kind kind = Kind::kAbsent;
  std::string hex;      // the key in hexadecimal, when valid
  std::string problem;  // when malformed
};
UpdateKeyState DescribeUpdateKey(const Package& package);

// Why bytes are no public key (wrong size, a secret key, not a point of the curve), or nothing
// when they are one.
std::optional<std::string> PublicKeyProblem(std::string_view bytes);

struct SigningResult {
  bool ok = false;
  std::string error;
  std::string written;  // the file written (keygen: the public key's)
  std::string note;     // something the operator should know, even on success
};

// Makes a key pair: secretPath (created new with mode 0600, never over an existing file or
// through a link) and secretPath + ".pub". Nothing is left behind on failure.
SigningResult GenerateKeyPair(const std::string& secretPath);

// Signs the executable with the secret key file, writing executablePath + ".sig" (replaced
// whole if it exists). Notes when the executable packs a different public key.
SigningResult SignExecutable(const std::string& executablePath, const std::string& keyPath);

// Reads a public key file for build --update-key; an error when it is not one.
SigningResult ReadPublicKeyFile(const std::string& path, std::string* key);

// Adds config/update.pub to a skin folder's package (in name order). Refuses when the folder
// already holds a different update.pub.
bool AddUpdateKey(Package* package, const std::string& key, std::string* error);

}  // namespace launcher::pack
