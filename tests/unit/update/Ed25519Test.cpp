// Our verifier against published test vectors and, differentially, against libsodium: it signs
// here, and ours must give its verdict on every signature, altered or not.
#include "update/Ed25519.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <random>
#include <string_view>
#include <vector>

namespace launcher {
namespace {

using ByteVector = std::vector<unsigned char>;

ByteVector FromHex(std::string_view hex) {
  ByteVector out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(
        static_cast<unsigned char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

struct Signed {
  ByteVector publicKey, message, signature;
};

bool Ours(const Signed& s) {
  return Ed25519Verify(s.signature.data(), s.message.data(), s.message.size(), s.publicKey.data());
}

bool Libsodiums(const Signed& s) {
  return crypto_sign_verify_detached(s.signature.data(), s.message.data(), s.message.size(),
                                     s.publicKey.data()) == 0;
}

Signed SignWithSeed(const ByteVector& seed, ByteVector message) {
  Signed s{ByteVector(crypto_sign_PUBLICKEYBYTES), std::move(message),
           ByteVector(crypto_sign_BYTES)};
  unsigned char secret[crypto_sign_SECRETKEYBYTES];
  crypto_sign_seed_keypair(s.publicKey.data(), secret, seed.data());
  crypto_sign_detached(s.signature.data(), nullptr, s.message.data(), s.message.size(), secret);
  return s;
}

ByteVector RandomBytes(std::mt19937& random, std::size_t size) {
  ByteVector out(size);
  for (unsigned char& c : out) {
    c = static_cast<unsigned char>(random());
  }
  return out;
}

class Ed25519 : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GE(sodium_init(), 0); }
};

TEST_F(Ed25519, PublishedVectorsVerify) {
  struct Vector {
    const char* seed;
    const char* publicKey;
    const char* message;
    const char* signature;
  };
  const Vector vectors[] = {
      {"9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
       "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
       "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf"
       "9b"
       "46bd25bf5f0595bbe24655141438e7a100b"},
      {"4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
       "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
       "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d0f"
       "11"
       "d8c387b2eaeb4302aeeb00d291612bb0c00"},
      {"c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
       "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
       "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac18ff9b538d16f290ae67f760984"
       "dc"
       "6594a7c15e9716ed28dc027beceea1ec40a"},
  };
  for (const Vector& v : vectors) {
    const Signed expected{FromHex(v.publicKey), FromHex(v.message), FromHex(v.signature)};
    // libsodium derives the same key and signature from the seed: the vectors are typed right.
    const Signed made = SignWithSeed(FromHex(v.seed), expected.message);
    EXPECT_EQ(made.publicKey, expected.publicKey) << v.publicKey;
    EXPECT_EQ(made.signature, expected.signature) << v.signature;
    EXPECT_TRUE(Ours(expected)) << v.signature;
  }
}

// Messages of every length around SHA-512's block and padding boundaries and some up to 3000
// bytes; on a sample, single bit flips in signature, key and message, which both must refuse.
TEST_F(Ed25519, AgreesWithLibsodiumOnRandomSignaturesAndTheirBitFlips) {
  std::mt19937 random(20240611);
  std::vector<std::size_t> sizes;
  for (std::size_t size = 0; size <= 200; ++size) {
    sizes.push_back(size);
  }
  for (int i = 0; i < 40; ++i) {
    sizes.push_back(200 + random() % 2800);
  }
  int flipped = 0;
  for (std::size_t n = 0; n < sizes.size(); ++n) {
    Signed s = SignWithSeed(RandomBytes(random, 32), RandomBytes(random, sizes[n]));
    ASSERT_TRUE(Ours(s)) << "size " << sizes[n];
    if (n % 40 != 0) {
      continue;
    }
    for (ByteVector* part : {&s.signature, &s.publicKey, &s.message}) {
      for (std::size_t bit = random() % 5; bit < part->size() * 8;
           bit += 1 + random() % (4 + part->size() / 4)) {
        (*part)[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
        EXPECT_FALSE(Libsodiums(s));
        EXPECT_FALSE(Ours(s)) << "size " << sizes[n] << " bit " << bit;
        (*part)[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
        ++flipped;
      }
    }
  }
  EXPECT_GT(flipped, 500);
}

TEST_F(Ed25519, NonCanonicalScalarsAndSmallOrderKeysAreRefused) {
  std::mt19937 random(7);
  Signed s = SignWithSeed(RandomBytes(random, 32), RandomBytes(random, 100));
  ASSERT_TRUE(Ours(s));
  // S + L satisfies the equation as well as S does.
  const ByteVector order =
      FromHex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
  unsigned carry = 0;
  for (std::size_t i = 0; i < 32; ++i) {
    carry += s.signature[32 + i] + order[i];
    s.signature[32 + i] = static_cast<unsigned char>(carry);
    carry >>= 8;
  }
  EXPECT_FALSE(Libsodiums(s));
  EXPECT_FALSE(Ours(s));

  // With the neutral point as key, R = [S]B passes the bare equation for any message.
  Signed neutral{FromHex("0100000000000000000000000000000000000000000000000000000000000000"),
                 RandomBytes(random, 10), ByteVector(64)};
  neutral.signature[32] = 9;
  ASSERT_EQ(crypto_scalarmult_ed25519_base_noclamp(neutral.signature.data(),
                                                   neutral.signature.data() + 32),
            0);
  EXPECT_FALSE(Libsodiums(neutral));
  EXPECT_FALSE(Ours(neutral));
  // Orders 2 and 4 (x = ±sqrt(-1)), the neutral point written with y = p + 1, and y = p.
  for (const char* key : {"ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
                          "0000000000000000000000000000000000000000000000000000000000000000",
                          "0000000000000000000000000000000000000000000000000000000000000080",
                          "eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
                          "edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"}) {
    neutral.publicKey = FromHex(key);
    EXPECT_FALSE(Libsodiums(neutral)) << key;
    EXPECT_FALSE(Ours(neutral)) << key;
  }
}

// A key with a part of order 2, A = [a]B + T: for an even k = H(R || A || M) the equation holds
// with S = r + k a. Such keys are accepted; an R of small order (here the neutral point, r = 0)
// is refused although the equation holds.
TEST_F(Ed25519, KeysWithATorsionPartVerifyButNoSmallOrderR) {
  unsigned char a[32], aB[32];
  crypto_core_ed25519_scalar_random(a);
  ASSERT_EQ(crypto_scalarmult_ed25519_base_noclamp(aB, a), 0);
  Signed s{ByteVector(32), ByteVector{0}, ByteVector(64)};
  const ByteVector two =
      FromHex("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f");
  ASSERT_EQ(crypto_core_ed25519_add(s.publicKey.data(), aB, two.data()), 0);
  for (const bool neutralR : {false, true}) {
    unsigned char r[32] = {};
    if (!neutralR) {
      crypto_core_ed25519_scalar_random(r);
    }
    unsigned char k[32] = {1};
    while (k[0] & 1) {
      ++s.message[0];
      if (neutralR) {
        s.signature.assign(64, 0);
        s.signature[0] = 1;
      } else {
        ASSERT_EQ(crypto_scalarmult_ed25519_base_noclamp(s.signature.data(), r), 0);
      }
      unsigned char digest[64];
      crypto_hash_sha512_state hash;
      crypto_hash_sha512_init(&hash);
      crypto_hash_sha512_update(&hash, s.signature.data(), 32);
      crypto_hash_sha512_update(&hash, s.publicKey.data(), 32);
      crypto_hash_sha512_update(&hash, s.message.data(), 1);
      crypto_hash_sha512_final(&hash, digest);
      crypto_core_ed25519_scalar_reduce(k, digest);
    }
    unsigned char ka[32];
    crypto_core_ed25519_scalar_mul(ka, k, a);
    crypto_core_ed25519_scalar_add(s.signature.data() + 32, r, ka);
    EXPECT_EQ(Libsodiums(s), !neutralR);
    EXPECT_EQ(Ours(s), !neutralR);
  }
}

TEST_F(Ed25519, HashesMegabytesOfMessage) {
  std::mt19937 random(3);
  Signed s = SignWithSeed(RandomBytes(random, 32), RandomBytes(random, 3 * 1024 * 1024 + 77));
  EXPECT_TRUE(Ours(s));
  s.message[s.message.size() / 2] ^= 0x10;
  EXPECT_FALSE(Ours(s));
}

}  // namespace
}  // namespace launcher
