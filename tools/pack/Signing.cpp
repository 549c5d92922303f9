#include "pack/Signing.h"

#include <sodium.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "pack/Files.h"

namespace launcher::pack {

namespace {

// Largest executable signed; a launcher is a few megabytes.
constexpr std::uint64_t kMaxSignedFile = 1ull << 30;

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

bool SodiumReady(std::string* error) {
  if (sodium_init() < 0) {
    *error = "the signature library cannot start";
    return false;
  }
  return true;
}

// The secret key file, checked to be one: 64 bytes whose second half is the public key of its
// first (the seed).
bool ReadSecretKey(const std::string& path, std::string* key, std::string* error) {
  std::string why;
  if (!ReadRegularFile(path, crypto_sign_SECRETKEYBYTES, key, &why) ||
      key->size() != crypto_sign_SECRETKEYBYTES) {
    *error = path + ": not a secret key of " + std::to_string(crypto_sign_SECRETKEYBYTES) +
             " bytes" + (why.empty() ? std::string() : " (" + why + ")");
    return false;
  }
  unsigned char pk[crypto_sign_PUBLICKEYBYTES];
  unsigned char sk[crypto_sign_SECRETKEYBYTES];
  crypto_sign_seed_keypair(pk, sk, Bytes(*key));
  const bool consistent = sodium_memcmp(sk, Bytes(*key), sizeof sk) == 0;
  sodium_memzero(sk, sizeof sk);
  if (!consistent) {
    *error = path + ": not a secret key made by keygen (its halves do not belong together)";
    return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> PublicKeyProblem(std::string_view bytes) {
  if (bytes.size() == crypto_sign_SECRETKEYBYTES) {
    return "64 bytes: this is a secret key, which must never be packed; use the .pub file";
  }
  if (bytes.size() != crypto_sign_PUBLICKEYBYTES) {
    return std::to_string(bytes.size()) + " bytes, not a public key of " +
           std::to_string(crypto_sign_PUBLICKEYBYTES);
  }
  std::string error;
  if (SodiumReady(&error) && crypto_core_ed25519_is_valid_point(Bytes(bytes)) == 0) {
    return "32 bytes that are not an Ed25519 public key";
  }
  return std::nullopt;
}

UpdateKeyState DescribeUpdateKey(const Package& package) {
  UpdateKeyState state;
  const bool present =
      std::any_of(package.entries.begin(), package.entries.end(),
                  [](const PackageEntry& entry) { return entry.name == kUpdateKeyEntry; });
  if (!present) {
    return state;
  }
  state.kind = UpdateKeyState::Kind::kMalformed;
  const PackageEntry* entry = package.Find(kUpdateKeyEntry);
  std::optional<std::string> bytes = entry ? package.Read(*entry) : std::nullopt;
  if (!bytes) {
    state.problem = "cannot be read from the archive";
    return state;
  }
  if (std::optional<std::string> problem = PublicKeyProblem(*bytes)) {
    state.problem = *problem;
    return state;
  }
  state.kind = UpdateKeyState::Kind::kValid;
  state.hex = Hex(*bytes);
  return state;
}

SigningResult GenerateKeyPair(const std::string& secretPath) {
  SigningResult result;
  if (!SodiumReady(&result.error)) {
    return result;
  }
  const std::string publicPath = secretPath + std::string(kPublicKeySuffix);
  if (!NothingAt(publicPath)) {
    result.error = publicPath + ": already exists; keys are never written over";
    return result;
  }
  unsigned char pk[crypto_sign_PUBLICKEYBYTES];
  unsigned char sk[crypto_sign_SECRETKEYBYTES];
  crypto_sign_keypair(pk, sk);
  const bool secretWritten = CreateNewFile(
      secretPath, std::string_view(reinterpret_cast<const char*>(sk), sizeof sk), 0600);
  const int secretErrno = errno;
  sodium_memzero(sk, sizeof sk);
  if (!secretWritten) {
    result.error =
        secretPath + ": " +
        (secretErrno == EEXIST ? std::string("already exists; keys are never written over")
                               : std::strerror(secretErrno));
    return result;
  }
  if (!CreateNewFile(publicPath, std::string_view(reinterpret_cast<const char*>(pk), sizeof pk),
                     0644)) {
    result.error = publicPath + ": " + std::strerror(errno);
    std::remove(secretPath.c_str());  // a secret key without its public half is of no use
    return result;
  }
  result.ok = true;
  result.written = publicPath;
  return result;
}

SigningResult SignExecutable(const std::string& executablePath, const std::string& keyPath) {
  SigningResult result;
  if (!SodiumReady(&result.error)) {
    return result;
  }
  std::string secret;
  if (!ReadSecretKey(keyPath, &secret, &result.error)) {
    sodium_memzero(secret.data(), secret.size());
    return result;
  }
  std::string executable, why;
  if (!ReadRegularFile(executablePath, kMaxSignedFile, &executable, &why)) {
    sodium_memzero(secret.data(), secret.size());
    result.error = executablePath + ": cannot be read (" + why + ")";
    return result;
  }
  unsigned char signature[crypto_sign_BYTES];
  crypto_sign_detached(signature, nullptr, Bytes(executable), executable.size(), Bytes(secret));
  const std::string publicKey = secret.substr(crypto_sign_SEEDBYTES);
  sodium_memzero(secret.data(), secret.size());
  // What the launcher will do with it, checked before anything is written.
  if (crypto_sign_verify_detached(signature, Bytes(executable), executable.size(),
                                  Bytes(publicKey)) != 0) {
    result.error = "the signature does not verify";
    return result;
  }

  PackageResult read = ReadPackedExecutable(executablePath);
  if (read.package) {
    UpdateKeyState packed = DescribeUpdateKey(*read.package);
    if (packed.kind == UpdateKeyState::Kind::kValid && packed.hex != Hex(publicKey)) {
      result.note = executablePath +
                    " packs another update key: the launchers it updates must carry this "
                    "key, and it will accept only updates signed with its own";
    } else if (packed.kind != UpdateKeyState::Kind::kValid) {
      result.note = executablePath +
                    " packs no usable update key: once installed it cannot "
                    "verify the updates after it";
    }
  }

  const std::string signaturePath = executablePath + std::string(kSignatureSuffix);
  PendingFile file(signaturePath);
  if (!file.Opened() ||
      !file.Write(std::string_view(reinterpret_cast<const char*>(signature), sizeof signature)) ||
      !file.Commit(0644)) {
    result.error = signaturePath + ": cannot be written (" + std::strerror(errno) + ")";
    return result;
  }
  result.ok = true;
  result.written = signaturePath;
  return result;
}

SigningResult ReadPublicKeyFile(const std::string& path, std::string* key) {
  SigningResult result;
  std::string why;
  // Read a little past a secret key's size, so that one given by mistake is named as such.
  if (!ReadRegularFile(path, crypto_sign_SECRETKEYBYTES + 1, key, &why)) {
    result.error = path + ": cannot be read as a public key (" + why + ")";
    return result;
  }
  if (std::optional<std::string> problem = PublicKeyProblem(*key)) {
    result.error = path + ": " + *problem;
    sodium_memzero(key->data(), key->size());
    key->clear();
    return result;
  }
  result.ok = true;
  return result;
}

bool AddUpdateKey(Package* package, const std::string& key, std::string* error) {
  auto at = std::lower_bound(
      package->entries.begin(), package->entries.end(), kUpdateKeyEntry,
      [](const PackageEntry& entry, std::string_view name) { return entry.name < name; });
  if (at != package->entries.end() && at->name == kUpdateKeyEntry) {
    if (at->bytes != key) {
      *error = package->Describe(kUpdateKeyEntry) + " holds another key than --update-key";
      return false;
    }
    return true;
  }
  PackageEntry entry;
  entry.name = std::string(kUpdateKeyEntry);
  entry.bytes = key;
  entry.size = key.size();
  package->entries.insert(at, std::move(entry));
  return true;
}

}  // namespace launcher::pack
