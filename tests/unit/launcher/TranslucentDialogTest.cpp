#include "launcher/TranslucentDialog.h"

#include <gtest/gtest.h>

#include "launcher/StandardDialog.h"
#include "res/Templates.h"
#include "ui/Button.h"
#include "ui/fake/FakeUi.h"

namespace launcher {
namespace {

using ui::Rect;

std::unique_ptr<Bitmap> Picture(int width, int height) {
  auto picture = std::make_unique<Bitmap>();
  picture->width = width;
  picture->height = height;
  picture->bitsPerPixel = 32;
  picture->pixels.assign(static_cast<std::size_t>(width) * height * 4, 0x80);
  return picture;
}

class Pair : public CTranslucentDialog {
 public:
  explicit Pair(std::unique_ptr<Bitmap> picture, bool withCompanion = true)
      : CTranslucentDialog(res::LauncherPictureTemplate(), std::move(picture), nullptr),
        withCompanion_(withCompanion) {}
  int layeredInits = 0;
  std::vector<std::string>* order = nullptr;

 protected:
  std::unique_ptr<CStandardDialog> CreateCompanionDialog() override {
    if (!withCompanion_) {
      return nullptr;
    }
    auto companion = std::make_unique<Companion>(this);
    companion->order = order;
    return companion;
  }
  void OnLayeredInit() override {
    ++layeredInits;
    if (order) {
      order->push_back("layered init");
    }
  }
  bool withCompanion_;

  class Companion : public CStandardDialog {
   public:
    explicit Companion(ui::Window* parent)
        : CStandardDialog(res::LauncherCompanionTemplate(), ui::Rgb(0, 255, 0), parent) {}
    std::vector<std::string>* order = nullptr;
    bool OnInitDialog() override {
      if (order) {
        order->push_back("companion init");
      }
      return CStandardDialog::OnInitDialog();
    }
  };
};

class Item : public RenderItem {
 public:
  int draws = 0;
  void Draw(Bitmap& surface) override {
    ++draws;
    surface.pixels[3] = 0xFF;
  }
};

class TranslucentDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::fake::Reset(); }
};

TEST(CenterLayeredWindow, CentresTheCaptionedSizeTruncatingTowardZero) {
  // 760 x 544 grown by 3 left and right, 26 on top and 3 below, on 1920 x 1040.
  EXPECT_EQ(CenterLayeredWindow(Rect{-3, -26, 763, 547}, Rect{0, 0, 1920, 1040}),
            (ui::Point{577, 233}));
  // Larger than the work area: -3 / 2 is -1, not -2.
  EXPECT_EQ(CenterLayeredWindow(Rect{0, 0, 1923, 1043}, Rect{0, 0, 1920, 1040}),
            (ui::Point{-1, -1}));
  // A work area that does not start at the origin.
  EXPECT_EQ(CenterLayeredWindow(Rect{0, 0, 100, 100}, Rect{50, 30, 250, 230}),
            (ui::Point{100, 80}));
}

TEST_F(TranslucentDialogTest, CreationPlacesThePairAndRendersOnce) {
  std::vector<std::string> order;
  Pair pair(Picture(760, 544));
  pair.order = &order;
  ui::fake::SetModalHandler([&](ui::Dialog& d) {
    EXPECT_EQ(d.GetWindowRect(), Rect::FromSize(577, 233, 760, 544));
    EXPECT_TRUE(d.IsWindowVisible()) << "a modal dialog shows without the visible style";
    CStandardDialog* companion = pair.GetCompanion();
    ASSERT_NE(companion, nullptr);
    EXPECT_EQ(companion->GetWindowRect(), d.GetWindowRect());
    EXPECT_TRUE(companion->IsWindowVisible());
    EXPECT_EQ(companion->GetOwner(), &pair);
    EXPECT_TRUE(ui::fake::Native(*companion).colorKeyed);
    EXPECT_EQ(ui::fake::Native(*companion).colorKey, ui::Rgb(0, 255, 0));
    EXPECT_EQ(pair.GetStyle() & ui::kWsCaption, 0u);
    EXPECT_TRUE(pair.GetExStyle() & ui::kWsExLayered);
    EXPECT_EQ(ui::fake::Native(pair).layeredUpdates, 1);
    EXPECT_EQ(ui::fake::Native(pair).layeredSize, (ui::Size{760, 544}));
    EXPECT_EQ(pair.GetBlend().alphaFormat, 1);
    EXPECT_EQ(pair.GetBlend().sourceConstantAlpha, 255);

    // The pair moves and sizes together, a minimise included.
    d.MoveWindow(Rect::FromSize(10, 20, 760, 544));
    EXPECT_EQ(companion->GetWindowRect(), Rect::FromSize(10, 20, 760, 544));
    d.ShowWindow(ui::kSwMinimize);
    EXPECT_EQ(companion->GetWindowRect().Width(), 0);
    d.ShowWindow(ui::kSwRestore);
    EXPECT_EQ(companion->GetWindowRect(), Rect::FromSize(10, 20, 760, 544));

    // Closing the companion closes the pair.
    companion->SendMessage(ui::kWmCommand, ui::kIdOkCommand, 0);
  });
  EXPECT_EQ(pair.DoModal(), ui::kIdCancelCommand);
  EXPECT_EQ(order, (std::vector<std::string>{"companion init", "layered init"}));
  EXPECT_FALSE(pair.GetCompanion()->IsCreated());
}

TEST_F(TranslucentDialogTest, KeepsThePlaceWhenNotCentredAndWorksAlone) {
  Pair pair(Picture(100, 50), false);
  pair.SetCenterOnCreate(false);
  ui::fake::SetModalHandler([&](ui::Dialog& d) {
    Rect r = d.GetWindowRect();
    EXPECT_EQ(r.Width(), 100);
    EXPECT_EQ(r.Height(), 50);
    // The template's place: centred by its own size, not the picture's.
    EXPECT_EQ(r.TopLeft(), (ui::Point{(1920 - 320) / 2, (1040 - 200) / 2}));
    EXPECT_EQ(pair.GetCompanion(), nullptr);
    d.MoveWindow(Rect::FromSize(1, 2, 100, 50));  // nothing to forward to
    ui::fake::RequestClose(d);
  });
  EXPECT_EQ(pair.DoModal(), ui::kIdCancelCommand);
}

TEST_F(TranslucentDialogTest, SuspendAndResumeCountPasses) {
  Pair pair(Picture(10, 10), false);
  Item item;
  ui::fake::SetModalHandler([&](ui::Dialog& d) {
    auto passes = [&] { return ui::fake::Native(d).layeredUpdates; };
    ASSERT_EQ(passes(), 1);
    pair.AddRenderItem(&item);
    EXPECT_EQ(item.listener, &pair);
    pair.OnRenderRequest(&item);
    EXPECT_EQ(passes(), 2);
    EXPECT_EQ(item.draws, 1);
    item.visible = false;
    pair.OnRenderRequest(&item);
    EXPECT_EQ(item.draws, 1) << "invisible items are not drawn";

    pair.ResumeRender();
    EXPECT_EQ(passes(), 3) << "resume without suspend draws nothing";
    pair.SuspendRender();
    EXPECT_EQ(passes(), 3);
    pair.SuspendRender();
    EXPECT_EQ(passes(), 4) << "the second suspend resumes once";
    pair.OnRenderRequest(nullptr);
    EXPECT_EQ(passes(), 4) << "requests wait while suspended";
    pair.ResumeRender();
    EXPECT_EQ(passes(), 5);

    Item stranger;
    stranger.listener = &pair;
    pair.RemoveRenderItem(&stranger);
    EXPECT_EQ(stranger.listener, nullptr);
    pair.RemoveRenderItem(&item);
    EXPECT_EQ(item.listener, nullptr);
    ui::fake::RequestClose(d);
  });
  pair.DoModal();
}

TEST_F(TranslucentDialogTest, APressOnThePictureMovesThePair) {
  Pair pair(Picture(200, 100));
  ui::fake::SetModalHandler([&](ui::Dialog& d) {
    Rect start = d.GetWindowRect();
    ui::Point press{start.left + 50, start.top + 50};
    ui::fake::Mouse(d, ui::fake::MouseKind::kDown, 1, press, ui::kMkLButton);
    ui::fake::Mouse(d, ui::fake::MouseKind::kMove, 0, {press.x + 30, press.y + 7}, ui::kMkLButton);
    ui::fake::Mouse(d, ui::fake::MouseKind::kUp, 1, {press.x + 30, press.y + 7});
    EXPECT_EQ(d.GetWindowRect(), start.Offset(30, 7));
    EXPECT_EQ(pair.GetCompanion()->GetWindowRect(), start.Offset(30, 7));

    pair.SetDragEnabled(false);
    ui::fake::Mouse(d, ui::fake::MouseKind::kDown, 1, {press.x + 30, press.y + 7}, ui::kMkLButton);
    ui::fake::Mouse(d, ui::fake::MouseKind::kMove, 0, {press.x + 90, press.y + 7}, ui::kMkLButton);
    EXPECT_EQ(d.GetWindowRect(), start.Offset(30, 7));
    ui::fake::RequestClose(d);
  });
  pair.DoModal();
}

TEST_F(TranslucentDialogTest, CompanionBackgroundIsTheColourKey) {
  Pair pair(Picture(50, 40));
  ui::fake::SetModalHandler([&](ui::Dialog&) {
    auto ops = ui::fake::Paint(*pair.GetCompanion());
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops[0].kind, ui::fake::DrawOp::Kind::kFill);
    EXPECT_EQ(ops[0].color, ui::Rgb(0, 255, 0));
    EXPECT_EQ(ops[0].dst, Rect::FromSize(0, 0, 50, 40));
    pair.GetCompanion()->SendMessage(ui::kWmCommand, ui::kIdCancelCommand, 0);
  });
  EXPECT_EQ(pair.DoModal(), ui::kIdCancelCommand);
}

TEST_F(TranslucentDialogTest, AnEmptyPictureShowsNothing) {
  Pair pair(std::make_unique<Bitmap>(), false);
  ui::fake::SetModalHandler([&](ui::Dialog& d) {
    EXPECT_EQ(ui::fake::Native(d).layeredUpdates, 0);
    ui::fake::RequestClose(d);
  });
  pair.DoModal();
}

}  // namespace
}  // namespace launcher
