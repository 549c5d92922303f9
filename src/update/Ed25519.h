// Checking Ed25519 detached signatures without a cryptography library, for the builds that have
// none at hand. Verification only: the publisher signs with its own tools.
#pragma once

#include <cstddef>

namespace launcher {

constexpr std::size_t kEd25519PublicKeyBytes = 32;
constexpr std::size_t kEd25519SignatureBytes = 64;

// Any thread; pure. True when signature (kEd25519SignatureBytes) is a valid signature of the
// size bytes at message by publicKey (kEd25519PublicKeyBytes), by the cofactorless equation
// [S]B = R + [SHA-512(R || A || M)]A. As strict as libsodium's detached verification: refused
// are an S not below the group order, a key that is not the canonical encoding of a curve point,
// and a key or R of small order (including the neutral point). Not constant time: it checks
// public data only.
bool Ed25519Verify(const unsigned char* signature, const unsigned char* message, std::size_t size,
                   const unsigned char* publicKey);

}  // namespace launcher
