// One paint of the game window's frame on a 1920 x 1040 window through the GTK backend's canvas
// (cairo image surface, Pango for the title): the frame pieces of the demo skin as the paint
// plan places them, the title, and the title-strip buttons and logo over them. The page is a
// native child and not part of it. Target: well under 2 ms per paint.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/Text.h"
#include "config/LauncherConfig.h"
#include "config/Png.h"
#include "game/GameFrame.h"
#include "ui/Canvas.h"
#include "ui/gtk/CairoCanvas.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct DemoFrame {
  launcher::FramePieces pieces;
  std::vector<launcher::Bitmap> pieceBitmaps;
  std::vector<std::pair<launcher::Bitmap, ui::Rect>> buttons;  // normal face, place (maximized)
  launcher::Bitmap logo;
  std::string title;
};

const DemoFrame& Demo() {
  static const DemoFrame frame = [] {
    const std::string skin = std::string(LAUNCHER_SOURCE_DIR) + "/demo/skin/";
    DemoFrame f;
    launcher::LauncherConfig config;
    const std::string text = ReadAll(skin + "cg.txt");
    config.LoadConfigText(launcher::Utf8ToGbk(text).value_or(text));
    config.ParseConfig();
    launcher::Bitmap sheet;
    const std::string png = ReadAll(skin + "style.png");
    launcher::DecodePng(reinterpret_cast<const std::uint8_t*>(png.data()), png.size(), &sheet);
    const std::string logo = ReadAll(skin + "logo.png");
    launcher::DecodePng(reinterpret_cast<const std::uint8_t*>(logo.data()), logo.size(), &f.logo);
    const auto& pics = config.GetGamePics();
    f.pieces = launcher::FramePiecesFromConfig(config.GetEdgeImages(), pics);
    for (int n = 1; n <= launcher::kFramePieceCount; ++n) {
      auto entry = launcher::FramePieceEntry(config.GetEdgeImages(), pics, n);
      const launcher::GamePicInfo pic = entry ? pics[*entry] : launcher::GamePicInfo{};
      f.pieceBitmaps.push_back(
          launcher::CopyBitmapPart(sheet, pic.x, pic.y, pic.width, pic.height));
    }
    for (const auto& b : config.GetGameButtons()) {
      if (b.image < 1 || b.image > static_cast<int>(pics.size())) continue;
      const auto& pic = pics[static_cast<std::size_t>(b.image - 1)];
      f.buttons.emplace_back(launcher::CopyBitmapPart(sheet, pic.x, pic.y, pic.width, pic.height),
                             launcher::GameButtonRect({1920, 1040}, f.pieces, b, pic, true));
    }
    f.title = config.GetSettings().title + "-" + launcher::Gbk("第二关");
    return f;
  }();
  return frame;
}

void PaintFrame(benchmark::State& state, bool maximized) {
  const DemoFrame& f = Demo();
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1920, 1040);
  cairo_t* cr = cairo_create(surface);
  for (auto _ : state) {
    ui::gtk::CairoCanvas cairo(cr);
    ui::Canvas canvas(cairo);
    canvas.FillRect({0, 0, 1920, 1040}, ui::Rgb(240, 240, 240));  // the dialog's erase
    for (const auto& draw : launcher::FramePaintPlan(f.pieces, {1920, 1040}, maximized)) {
      const auto& piece = f.pieceBitmaps[static_cast<std::size_t>(draw.piece - 1)];
      canvas.DrawBitmap(piece, {0, 0, piece.width, piece.height}, draw.dst);
    }
    canvas.TextOut(38, 7, f.title, ui::Rgb(178, 226, 244), ui::FontKind::kGuiBold);
    for (const auto& [face, place] : f.buttons) {
      canvas.DrawBitmap(face, {0, 0, face.width, face.height}, place);
    }
    canvas.DrawBitmap(f.logo, {0, 0, f.logo.width, f.logo.height},
                      ui::Rect::FromSize(8, 3, f.logo.width, f.logo.height));
    cairo_surface_flush(surface);
    benchmark::ClobberMemory();
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

void BM_GameFramePaintMaximized(benchmark::State& state) { PaintFrame(state, true); }
void BM_GameFramePaintFramed(benchmark::State& state) { PaintFrame(state, false); }

BENCHMARK(BM_GameFramePaintMaximized)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GameFramePaintFramed)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
