#include "res/AppIcon.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace launcher::res {
namespace {

struct Vec {
  double x, y;
};

struct Rgb {
  double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Everything is laid out on the unit square.
constexpr double kTileInset = 0.03;
constexpr double kTileRadius = 0.22;
constexpr double kRim = 0.035;
constexpr Vec kStarCentre{0.5, 0.53};
constexpr double kStarOuter = 0.37;
constexpr double kStarInner = 0.155;

constexpr Rgb kTileTop{84, 82, 188};
constexpr Rgb kTileBottom{16, 18, 40};
constexpr Rgb kRimColour{158, 166, 255};
constexpr Rgb kGoldTop{255, 236, 172};
constexpr Rgb kGoldBottom{214, 136, 40};
constexpr Rgb kSparkle{255, 250, 235};

// Distance outside a rounded square (negative inside).
double TileDistance(Vec p) {
  const double half = 0.5 - kTileInset;
  const double qx = std::fabs(p.x - 0.5) - (half - kTileRadius);
  const double qy = std::fabs(p.y - 0.5) - (half - kTileRadius);
  const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
  return outside + std::min(std::max(qx, qy), 0.0) - kTileRadius;
}

using Star = std::array<Vec, 10>;

Star MakeStar() {
  Star star{};
  for (int i = 0; i < 10; ++i) {
    const double angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
    const double r = (i % 2 == 0) ? kStarOuter : kStarInner;
    star[static_cast<std::size_t>(i)] = {kStarCentre.x + r * std::cos(angle),
                                         kStarCentre.y + r * std::sin(angle)};
  }
  return star;
}

bool InStar(const Star& star, Vec p) {
  bool inside = false;
  for (std::size_t i = 0, j = star.size() - 1; i < star.size(); j = i++) {
    const Vec a = star[i], b = star[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
      inside = !inside;
    }
  }
  return inside;
}

bool InSparkle(Vec p) {
  constexpr std::array<std::array<double, 3>, 3> kSparkles = {
      {{0.22, 0.22, 0.035}, {0.80, 0.25, 0.025}, {0.78, 0.80, 0.02}}};
  for (const auto& s : kSparkles) {
    if (std::hypot(p.x - s[0], p.y - s[1]) < s[2]) {
      return true;
    }
  }
  return false;
}

}  // namespace

Bitmap AppIcon(int size) {
  size = std::clamp(size, 8, 256);
  Bitmap icon;
  icon.width = icon.height = size;
  icon.bitsPerPixel = 32;
  icon.pixels.assign(static_cast<std::size_t>(size) * size * 4, 0);
  const Star star = MakeStar();
  // Each pixel averages a 4 × 4 grid of samples: smooth edges without a drawing library.
  constexpr int kSamples = 4;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const Vec p{(x + (sx + 0.5) / kSamples) / size, (y + (sy + 0.5) / kSamples) / size};
          const double d = TileDistance(p);
          if (d > 0) {
            continue;
          }
          Rgb c = Mix(kTileTop, kTileBottom, (p.y - kTileInset) / (1 - 2 * kTileInset));
          if (d > -kRim) {
            c = Mix(c, kRimColour, 0.55);
          }
          if (InStar(star, p)) {
            const double t = (p.y - (kStarCentre.y - kStarOuter)) / (1.8 * kStarOuter);
            c = Mix(kGoldTop, kGoldBottom, t);
          } else if (size >= 24 && InSparkle(p)) {
            c = kSparkle;
          }
          r += c.r;
          g += c.g;
          b += c.b;
          a += 1;
        }
      }
      if (a == 0) {
        continue;
      }
      std::uint8_t* px = icon.pixels.data() + (static_cast<std::size_t>(y) * size + x) * 4;
      px[0] = static_cast<std::uint8_t>(std::lround(r / a));
      px[1] = static_cast<std::uint8_t>(std::lround(g / a));
      px[2] = static_cast<std::uint8_t>(std::lround(b / a));
      px[3] = static_cast<std::uint8_t>(std::lround(255 * a / (kSamples * kSamples)));
    }
  }
  return icon;
}

}  // namespace launcher::res
