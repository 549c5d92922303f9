#include "update/Ed25519.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace launcher {
namespace {

using Bytes32 = std::array<std::uint8_t, 32>;

// SHA-512, streaming, so that a whole executable is hashed without a copy.

constexpr std::uint64_t kRoundConstants[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817,
};

constexpr std::uint64_t kInitialState[8] = {
    0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
    0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179,
};

std::uint64_t Rotr(std::uint64_t x, int n) { return (x >> n) | (x << (64 - n)); }

class Sha512 {
 public:
  static constexpr std::size_t kBlockBytes = 128;

  void Update(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
      return;
    }
    total_ += size;
    if (fill_ > 0) {
      const std::size_t take = size < kBlockBytes - fill_ ? size : kBlockBytes - fill_;
      std::memcpy(buffer_.data() + fill_, data, take);
      fill_ += take;
      data += take;
      size -= take;
      if (fill_ < kBlockBytes) {
        return;
      }
      Compress(buffer_.data());
      fill_ = 0;
    }
    for (; size >= kBlockBytes; data += kBlockBytes, size -= kBlockBytes) {
      Compress(data);
    }
    if (size > 0) {
      std::memcpy(buffer_.data(), data, size);
      fill_ = size;
    }
  }

  std::array<std::uint8_t, 64> Final() {
    constexpr std::size_t kLengthAt = kBlockBytes - 16;
    buffer_[fill_++] = 0x80;
    if (fill_ > kLengthAt) {
      std::memset(buffer_.data() + fill_, 0, kBlockBytes - fill_);
      Compress(buffer_.data());
      fill_ = 0;
    }
    std::memset(buffer_.data() + fill_, 0, kBlockBytes - fill_);
    // A 128-bit count of bits; the byte count fits 64 bits, so its top three bits lead.
    StoreBigEndian(total_ >> 61, buffer_.data() + kLengthAt);
    StoreBigEndian(total_ << 3, buffer_.data() + kLengthAt + 8);
    Compress(buffer_.data());
    std::array<std::uint8_t, 64> digest{};
    for (std::size_t i = 0; i < 8; ++i) {
      StoreBigEndian(state_[i], digest.data() + 8 * i);
    }
    return digest;
  }

 private:
  static void StoreBigEndian(std::uint64_t value, std::uint8_t* out) {
    for (int i = 7; i >= 0; --i) {
      out[i] = static_cast<std::uint8_t>(value);
      value >>= 8;
    }
  }

  void Compress(const std::uint8_t* block) {
    std::uint64_t w[80];
    for (std::size_t i = 0; i < 16; ++i) {
      std::uint64_t word = 0;
      for (std::size_t j = 0; j < 8; ++j) {
        word = (word << 8) | block[8 * i + j];
      }
      w[i] = word;
    }
    for (std::size_t i = 16; i < 80; ++i) {
      const std::uint64_t s0 = Rotr(w[i - 15], 1) ^ Rotr(w[i - 15], 8) ^ (w[i - 15] >> 7);
      const std::uint64_t s1 = Rotr(w[i - 2], 19) ^ Rotr(w[i - 2], 61) ^ (w[i - 2] >> 6);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint64_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    std::uint64_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
    for (std::size_t i = 0; i < 80; ++i) {
      const std::uint64_t sum1 = Rotr(e, 14) ^ Rotr(e, 18) ^ Rotr(e, 41);
      const std::uint64_t choice = (e & f) ^ (~e & g);
      const std::uint64_t t1 = h + sum1 + choice + kRoundConstants[i] + w[i];
      const std::uint64_t sum0 = Rotr(a, 28) ^ Rotr(a, 34) ^ Rotr(a, 39);
      const std::uint64_t majority = (a & b) ^ (a & c) ^ (b & c);
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + sum0 + majority;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
    state_[4] += e;
    state_[5] += f;
    state_[6] += g;
    state_[7] += h;
  }

  std::array<std::uint64_t, 8> state_{kInitialState[0], kInitialState[1], kInitialState[2],
                                      kInitialState[3], kInitialState[4], kInitialState[5],
                                      kInitialState[6], kInitialState[7]};
  std::array<std::uint8_t, kBlockBytes> buffer_{};
  std::size_t fill_ = 0;
  std::uint64_t total_ = 0;
};

// Integers mod p = 2^255 - 19 in five limbs of 51 bits. Every operation leaves its limbs below
// 2^52, which keeps the products of Mul and the 2p offset of Sub in range.

using U128 = unsigned __int128;
constexpr std::uint64_t kMask51 = (std::uint64_t{1} << 51) - 1;

struct Fe {
  std::uint64_t v[5] = {};
};

Fe FeSmall(std::uint64_t n) {
  Fe r;
  r.v[0] = n;
  return r;
}

// One pass of carries; the carry out of the top limb comes back times 19 (2^255 = 19 mod p).
void Carry(Fe& a) {
  for (int i = 0; i < 4; ++i) {
    a.v[i + 1] += a.v[i] >> 51;
    a.v[i] &= kMask51;
  }
  const std::uint64_t top = a.v[4] >> 51;
  a.v[4] &= kMask51;
  a.v[0] += 19 * top;
}

Fe Add(const Fe& a, const Fe& b) {
  Fe r;
  for (int i = 0; i < 5; ++i) {
    r.v[i] = a.v[i] + b.v[i];
  }
  Carry(r);
  return r;
}

Fe Sub(const Fe& a, const Fe& b) {
  constexpr std::uint64_t kTwoPLow = 2 * (kMask51 - 18);
  constexpr std::uint64_t kTwoPHigh = 2 * kMask51;
  Fe r;
  r.v[0] = a.v[0] + kTwoPLow - b.v[0];
  for (int i = 1; i < 5; ++i) {
    r.v[i] = a.v[i] + kTwoPHigh - b.v[i];
  }
  Carry(r);
  return r;
}

Fe Neg(const Fe& a) { return Sub(Fe{}, a); }

Fe Mul(const Fe& a, const Fe& b) {
  const std::uint64_t* x = a.v;
  const std::uint64_t* y = b.v;
  const std::uint64_t y1 = 19 * y[1], y2 = 19 * y[2], y3 = 19 * y[3], y4 = 19 * y[4];
  U128 r0 =
      U128{x[0]} * y[0] + U128{x[1]} * y4 + U128{x[2]} * y3 + U128{x[3]} * y2 + U128{x[4]} * y1;
  U128 r1 =
      U128{x[0]} * y[1] + U128{x[1]} * y[0] + U128{x[2]} * y4 + U128{x[3]} * y3 + U128{x[4]} * y2;
  U128 r2 =
      U128{x[0]} * y[2] + U128{x[1]} * y[1] + U128{x[2]} * y[0] + U128{x[3]} * y4 + U128{x[4]} * y3;
  U128 r3 = U128{x[0]} * y[3] + U128{x[1]} * y[2] + U128{x[2]} * y[1] + U128{x[3]} * y[0] +
            U128{x[4]} * y4;
  U128 r4 = U128{x[0]} * y[4] + U128{x[1]} * y[3] + U128{x[2]} * y[2] + U128{x[3]} * y[1] +
            U128{x[4]} * y[0];
  r1 += r0 >> 51;
  r2 += r1 >> 51;
  r3 += r2 >> 51;
  r4 += r3 >> 51;
  Fe r;
  r.v[0] = (static_cast<std::uint64_t>(r0) & kMask51) + 19 * static_cast<std::uint64_t>(r4 >> 51);
  r.v[1] = static_cast<std::uint64_t>(r1) & kMask51;
  r.v[2] = static_cast<std::uint64_t>(r2) & kMask51;
  r.v[3] = static_cast<std::uint64_t>(r3) & kMask51;
  r.v[4] = static_cast<std::uint64_t>(r4) & kMask51;
  Carry(r);
  return r;
}

Fe Square(const Fe& a) { return Mul(a, a); }

// Exponents of p's size, little-endian: all bits set except in the lowest and highest byte.
constexpr Bytes32 Exponent(std::uint8_t low, std::uint8_t high) {
  Bytes32 e{};
  e.fill(0xff);
  e[0] = low;
  e[31] = high;
  return e;
}
constexpr Bytes32 kPMinus2 = Exponent(0xeb, 0x7f);
constexpr Bytes32 kPPlus3Over8 = Exponent(0xfe, 0x0f);
constexpr Bytes32 kPMinus1Over4 = Exponent(0xfb, 0x1f);

bool Bit(const std::uint8_t* littleEndian, int i) { return (littleEndian[i >> 3] >> (i & 7)) & 1; }

Fe Pow(const Fe& a, const Bytes32& exponent) {
  Fe r = FeSmall(1);
  for (int i = 255; i >= 0; --i) {
    r = Square(r);
    if (Bit(exponent.data(), i)) {
      r = Mul(r, a);
    }
  }
  return r;
}

Fe Invert(const Fe& a) { return Pow(a, kPMinus2); }

// The canonical encoding: the value reduced below p, little-endian, top bit clear.
Bytes32 ToBytes(Fe a) {
  // Two passes leave every limb below 2^51, a value below 2^255 that is at most p + 18.
  Carry(a);
  Carry(a);
  std::uint64_t q = (a.v[0] + 19) >> 51;
  for (int i = 1; i < 5; ++i) {
    q = (a.v[i] + q) >> 51;
  }
  a.v[0] += 19 * q;  // q is 1 exactly when the value is p or more: subtract p
  for (int i = 0; i < 4; ++i) {
    a.v[i + 1] += a.v[i] >> 51;
    a.v[i] &= kMask51;
  }
  a.v[4] &= kMask51;
  Bytes32 out{};
  std::uint64_t pending = 0;
  int pendingBits = 0;
  std::size_t at = 0;
  for (const std::uint64_t limb : a.v) {
    pending |= limb << pendingBits;
    pendingBits += 51;
    while (pendingBits >= 8) {
      out[at++] = static_cast<std::uint8_t>(pending);
      pending >>= 8;
      pendingBits -= 8;
    }
  }
  out[at] = static_cast<std::uint8_t>(pending);
  return out;
}

// The low 255 bits of a little-endian encoding; the top bit is left to the caller.
Fe FromBytes(const std::uint8_t* in) {
  Fe r;
  std::uint64_t pending = 0;
  int pendingBits = 0;
  std::size_t at = 0;
  for (std::uint64_t& limb : r.v) {
    while (pendingBits < 51) {
      pending |= std::uint64_t{in[at++]} << pendingBits;
      pendingBits += 8;
    }
    limb = pending & kMask51;
    pending >>= 51;
    pendingBits -= 51;
  }
  return r;
}

bool Equal(const Fe& a, const Fe& b) { return ToBytes(a) == ToBytes(b); }
bool IsZero(const Fe& a) { return ToBytes(a) == Bytes32{}; }
bool IsOdd(const Fe& a) { return (ToBytes(a)[0] & 1) != 0; }

// True when the 255 low bits of an encoding are below p (p itself and the 18 values above it
// are the only other encodings that fit).
bool IsCanonicalField(const std::uint8_t* in) {
  if ((in[31] & 0x7f) != 0x7f || in[0] < 0xed) {
    return true;
  }
  for (std::size_t i = 1; i < 31; ++i) {
    if (in[i] != 0xff) {
      return true;
    }
  }
  return false;
}

// Points of -x^2 + y^2 = 1 + d x^2 y^2 in extended coordinates: x = X/Z, y = Y/Z, x y = T/Z.

struct Point {
  Fe x, y, z, t;
};

struct Curve {
  Fe d;
  Fe d2;          // 2d
  Fe sqrtMinus1;  // 2^((p-1)/4): 2 is not a square mod p
  Point base;
};
const Curve& TheCurve();

Point Identity() { return {Fe{}, FeSmall(1), FeSmall(1), Fe{}}; }

// The formula is complete on this curve (a = -1 a square, d not), so it also doubles and adds
// the neutral point.
Point AddPoints(const Point& p, const Point& q) {
  const Fe a = Mul(Sub(p.y, p.x), Sub(q.y, q.x));
  const Fe b = Mul(Add(p.y, p.x), Add(q.y, q.x));
  const Fe c = Mul(Mul(p.t, q.t), TheCurve().d2);
  const Fe zz = Mul(p.z, q.z);
  const Fe d = Add(zz, zz);
  const Fe e = Sub(b, a);
  const Fe f = Sub(d, c);
  const Fe g = Add(d, c);
  const Fe h = Add(b, a);
  return {Mul(e, f), Mul(g, h), Mul(f, g), Mul(e, h)};
}

Point DoublePoint(const Point& p) {
  const Fe a = Square(p.x);
  const Fe b = Square(p.y);
  const Fe zz = Square(p.z);
  const Fe c = Add(zz, zz);
  const Fe e = Sub(Sub(Square(Add(p.x, p.y)), a), b);
  const Fe g = Sub(b, a);  // -a + b with the curve's a = -1
  const Fe f = Sub(g, c);
  const Fe h = Neg(Add(a, b));
  return {Mul(e, f), Mul(g, h), Mul(f, g), Mul(e, h)};
}

Point NegatePoint(const Point& p) { return {Neg(p.x), p.y, p.z, Neg(p.t)}; }

// The group has order 8 L; a point is of small order when eight times it is neutral. The only
// points with x = 0 are the neutral one and the one of order 2, and no point has order 16.
bool IsSmallOrder(const Point& p) { return IsZero(DoublePoint(DoublePoint(DoublePoint(p))).x); }

Bytes32 Encode(const Point& p) {
  const Fe zInverse = Invert(p.z);
  Bytes32 out = ToBytes(Mul(p.y, zInverse));
  if (IsOdd(Mul(p.x, zInverse))) {
    out[31] |= 0x80;
  }
  return out;
}

// Refuses encodings whose y is not below p, and those whose x^2 has no square root or whose x
// is 0 with the sign bit set.
bool DecodeOn(const Curve& curve, const std::uint8_t* in, Point* out) {
  if (!IsCanonicalField(in)) {
    return false;
  }
  const Fe one = FeSmall(1);
  const Fe y = FromBytes(in);
  const Fe yy = Square(y);
  // x^2 = (y^2 - 1) / (d y^2 + 1); the denominator is never 0 as -1/d is not a square.
  const Fe xx = Mul(Sub(yy, one), Invert(Add(Mul(curve.d, yy), one)));
  Fe x = Pow(xx, kPPlus3Over8);
  if (!Equal(Square(x), xx)) {
    x = Mul(x, curve.sqrtMinus1);
    if (!Equal(Square(x), xx)) {
      return false;
    }
  }
  const bool odd = (in[31] & 0x80) != 0;
  if (odd && IsZero(x)) {
    return false;
  }
  if (IsOdd(x) != odd) {
    x = Neg(x);
  }
  *out = {x, y, one, Mul(x, y)};
  return true;
}

const Curve& TheCurve() {
  static const Curve curve = [] {
    Curve c;
    c.d = Mul(Neg(FeSmall(121665)), Invert(FeSmall(121666)));
    c.d2 = Add(c.d, c.d);
    c.sqrtMinus1 = Pow(FeSmall(2), kPMinus1Over4);
    Bytes32 encoding{};
    encoding.fill(0x66);  // y = 4/5, x even
    encoding[0] = 0x58;
    DecodeOn(c, encoding.data(), &c.base);
    return c;
  }();
  return curve;
}

bool Decode(const std::uint8_t* in, Point* out) { return DecodeOn(TheCurve(), in, out); }

// Scalars mod L = 2^252 + 27742317777372353535851937790883648493, little-endian.

constexpr Bytes32 kOrder = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                            0xa2, 0xde, 0xf9, 0xde, 0x14, 0,    0,    0,    0,    0,    0,
                            0,    0,    0,    0,    0,    0,    0,    0,    0,    0x10};

bool IsBelowOrder(const std::uint8_t* s) {
  for (int i = 31; i >= 0; --i) {
    if (s[i] != kOrder[i]) {
      return s[i] < kOrder[i];
    }
  }
  return false;
}

// The 512-bit digest mod L, by shifting it in bit by bit: the remainder stays below 2 L < 2^254.
Bytes32 ReduceModOrder(const std::array<std::uint8_t, 64>& wide) {
  std::uint64_t order[4] = {};
  for (int i = 31; i >= 0; --i) {
    order[i / 8] = (order[i / 8] << 8) | kOrder[i];
  }
  std::uint64_t r[4] = {};
  for (int i = 511; i >= 0; --i) {
    for (int j = 3; j > 0; --j) {
      r[j] = (r[j] << 1) | (r[j - 1] >> 63);
    }
    r[0] = (r[0] << 1) | static_cast<std::uint64_t>(Bit(wide.data(), i));
    bool atLeastOrder = true;
    for (int j = 3; j >= 0; --j) {
      if (r[j] != order[j]) {
        atLeastOrder = r[j] > order[j];
        break;
      }
    }
    if (atLeastOrder) {
      std::uint64_t borrow = 0;
      for (int j = 0; j < 4; ++j) {
        const std::uint64_t subtrahend = order[j] + borrow;
        borrow = (subtrahend < borrow || r[j] < subtrahend) ? 1 : 0;
        r[j] -= subtrahend;
      }
    }
  }
  Bytes32 out{};
  for (std::size_t i = 0; i < 32; ++i) {
    out[i] = static_cast<std::uint8_t>(r[i / 8] >> (8 * (i % 8)));
  }
  return out;
}

}  // namespace

bool Ed25519Verify(const unsigned char* signature, const unsigned char* message, std::size_t size,
                   const unsigned char* publicKey) {
  const std::uint8_t* r = signature;
  const std::uint8_t* s = signature + 32;
  if (!IsBelowOrder(s)) {
    return false;
  }
  Point a;
  if (!Decode(publicKey, &a) || IsSmallOrder(a)) {
    return false;
  }
  Sha512 hash;
  hash.Update(r, 32);
  hash.Update(publicKey, kEd25519PublicKeyBytes);
  hash.Update(message, size);
  const Bytes32 k = ReduceModOrder(hash.Final());

  // R' = [S]B - [k]A, both scalars below 2^253, one bit at a time from the top.
  const Point& base = TheCurve().base;
  const Point minusA = NegatePoint(a);
  Point sum = Identity();
  for (int i = 252; i >= 0; --i) {
    sum = DoublePoint(sum);
    if (Bit(s, i)) {
      sum = AddPoints(sum, base);
    }
    if (Bit(k.data(), i)) {
      sum = AddPoints(sum, minusA);
    }
  }
  // Comparing encodings refuses any R that is not canonical; R' of small order is refused too.
  const Bytes32 encoded = Encode(sum);
  return std::memcmp(encoded.data(), r, 32) == 0 && !IsSmallOrder(sum);
}

}  // namespace launcher
