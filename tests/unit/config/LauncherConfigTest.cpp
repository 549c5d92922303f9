#include "config/LauncherConfig.h"

#include <gtest/gtest.h>

#include <climits>

#include "base/Text.h"
#include "support/TestSupport.h"

namespace launcher {
namespace {

using testsupport::MakePng;
using testsupport::PackBytes;
using testsupport::TempDir;
using testsupport::WriteFile;

struct Parsed {
  std::unique_ptr<LauncherConfig> config = std::make_unique<LauncherConfig>();
  bool ok = false;
};

Parsed Parse(const std::string& text) {
  Parsed p;
  EXPECT_TRUE(p.config->LoadConfigText(text));
  p.ok = p.config->ParseConfig();
  return p;
}

TEST(ConfigInt, ConvertsLikeBase10StrtolSaturatingAt32Bits) {
  EXPECT_EQ(ParseConfigInt("42"), 42);
  EXPECT_EQ(ParseConfigInt("  -7"), -7);
  EXPECT_EQ(ParseConfigInt("+9"), 9);
  EXPECT_EQ(ParseConfigInt("5 apples"), 5);
  EXPECT_EQ(ParseConfigInt("0x10"), 0);
  EXPECT_EQ(ParseConfigInt("abc"), 0);
  EXPECT_EQ(ParseConfigInt(""), 0);
  EXPECT_EQ(ParseConfigInt("2147483647"), INT_MAX);
  EXPECT_EQ(ParseConfigInt("2147483648"), INT_MAX);
  EXPECT_EQ(ParseConfigInt("99999999999999999999999"), INT_MAX);
  EXPECT_EQ(ParseConfigInt("-2147483649"), INT_MIN);
  EXPECT_EQ(ParseConfigInt("16777215"), 16777215);
}

TEST(ParseConfig, ReadsEveryGlobalKeyWithItsDefault) {
  Parsed p = Parse("[global]\nlinkCount=1\n[link1]\n");
  ASSERT_TRUE(p.ok);
  const GlobalSettings& s = p.config->GetSettings();
  EXPECT_EQ(s.minGameWidth, 800);
  EXPECT_EQ(s.minGameHeight, 600);
  EXPECT_EQ(s.port, 80);
  EXPECT_EQ(s.titleColor, 16777215);
  EXPECT_EQ(s.loginCenterColor, 16777215);
  EXPECT_EQ(p.config->GetEdgeImages(), std::vector<int>(8, 9));
  EXPECT_EQ(s.title, "");
  EXPECT_EQ(p.config->GetGameHeader(), "");
  ASSERT_EQ(p.config->GetLinks().size(), 1u);
  EXPECT_EQ(p.config->GetLinks()[0].url, "_blank");
  EXPECT_TRUE(p.config->GetMenus().empty());
  EXPECT_TRUE(p.config->GetGamePics().empty());
  EXPECT_TRUE(p.config->GetGameButtons().empty());
}

TEST(ParseConfig, FollowsTheReaderRulesOfThePackagedFile) {
  Parsed p = Parse(
      "; a comment\r\n"
      "[ GLOBAL ]   trailing words\r\n"
      "LinkCount=2\r\n"
      "firstUrl=\r\n"
      "port=\r\n"
      "gameButtonCount =9\r\n"
      "  ; linkCount=0\r\n"
      "#title=commented\r\n"
      "title=first\r\n"
      "title=  second  \r\n"
      "gameheader=http://g/start?a=1&b=2\r\n"
      "edgeImage3=12\r\n"
      "delay=5\r\n"
      "no equals sign\r\n"
      "=nokey\r\n"
      "[link1]\r\n"
      "type=1    \r\n"
      "url=http://x/?q=a=b\r\n"
      "[gamePic1]\r\n"
      "interval = 3\r\n");
  ASSERT_TRUE(p.ok);
  const GlobalSettings& s = p.config->GetSettings();
  EXPECT_EQ(s.firstUrl, "");
  EXPECT_EQ(s.port, 0) << "a present empty value reads 0, unlike an absent key";
  EXPECT_EQ(s.title, "second");
  EXPECT_EQ(p.config->GetGameHeader(), "http://g/start?a=1&b=2");
  std::vector<int> edges(8, 9);
  edges[2] = 12;
  EXPECT_EQ(p.config->GetEdgeImages(), edges);
  ASSERT_EQ(p.config->GetLinks().size(), 2u);
  EXPECT_EQ(p.config->GetLinks()[0].type, 1);
  EXPECT_EQ(p.config->GetLinks()[0].url, "http://x/?q=a=b");
  EXPECT_EQ(p.config->GetLinks()[1].url, "_blank") << "a missing section gives defaults";
  EXPECT_EQ(p.config->GetLinks()[1].x, 0);
  // picCount absent: no pictures read although [gamePic1] exists.
  EXPECT_TRUE(p.config->GetGamePics().empty());
  EXPECT_EQ(p.config->GetGameButtons().size(), 9u);
  EXPECT_EQ(p.config->GetGameButtons()[0].color, 16777215);
}

TEST(ParseConfig, NoLinksRefusesButFillsTheGlobalValues) {
  Parsed p = Parse("[global]\nlinkCount=0\ntitle=T\nfirstUrl=http://game/\nmenuCount=2\n");
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.config->GetSettings().title, "T");
  EXPECT_EQ(p.config->GetSettings().firstUrl, "http://game/");
  EXPECT_TRUE(p.config->GetLinks().empty());
  EXPECT_TRUE(p.config->GetMenus().empty());

  EXPECT_FALSE(Parse("").ok);
  EXPECT_FALSE(Parse("[global]\nlinkCount=-3\n").ok);
}

TEST(ParseConfig, KeysBeforeTheFirstSectionAreNotGlobal) {
  EXPECT_FALSE(Parse("linkCount=1\n[other]\n").ok);
}

TEST(ParseConfig, Utf8WithByteOrderMarkIsReadAndBroughtToGbk) {
  Parsed p = Parse("\xEF\xBB\xBF[global]\nlinkCount=1\ntitle=星辰远征\n[link1]\n");
  ASSERT_TRUE(p.ok);
  EXPECT_TRUE(p.config->WasUtf8());
  EXPECT_EQ(p.config->GetSettings().title, Gbk("星辰远征"));
  EXPECT_EQ(p.config->GetSettings().title.size(), 8u);
  // GBK bytes are taken as they are.
  Parsed gbk = Parse("[global]\nlinkCount=1\ntitle=" + Gbk("版本号") + "\n");
  EXPECT_FALSE(gbk.config->WasUtf8());
  EXPECT_EQ(gbk.config->GetSettings().title, Gbk("版本号"));
}

TEST(ParseConfig, TextsAreCutAtTheirWidthWithoutSplittingACharacter) {
  std::string wide;
  for (int i = 0; i < 100; ++i) {
    wide += Gbk("中");  // 200 bytes
  }
  Parsed p =
      Parse("[global]\nlinkCount=1\ntitle=" + wide + "\ngameheader=" + std::string(100, 'h') +
            "\nversion=a" + wide + "\n[link1]\nurl=" + std::string(300, 'u') + "\n");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.config->GetSettings().title.size(), 126u) << "127 would split a character";
  EXPECT_EQ(p.config->GetGameHeader().size(), 63u);
  EXPECT_EQ(p.config->GetSettings().version.size(), 63u);  // "a" + 31 characters
  EXPECT_EQ(p.config->GetLinks()[0].url.size(), 255u);
  EXPECT_EQ(p.config->GetNotes().size(), 4u);
}

TEST(ParseConfig, CountsAreBounded) {
  Parsed p = Parse("[global]\nlinkCount=1\ngameButtonCount=99999999\nmenuCount=2000000000\n");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.config->GetGameButtons().size(), static_cast<std::size_t>(kMaxListCount));
  EXPECT_EQ(p.config->GetMenus().size(), static_cast<std::size_t>(kMaxListCount));
}

TEST(ParseConfig, ListsKeepFileOrderAndEveryField) {
  Parsed p = Parse(
      "[global]\nlinkCount=1\nmenuCount=2\npicCount=1\ngameButtonCount=1\n"
      "[link1]\nurl=u\nx=1\ny=2\nwidth=3\nheight=4\ntype=4\n"
      "[menu2]\ntitle=B\ntype=2\n[menu1]\ntitle=A\ntype=1\nshortCut=5\n"
      "[gamePic1]\nx=1\ny=2\nwidth=3\nheight=4\ninterval=5\ncount=6\n"
      "[gamebutton1]\nx=-31\ny=1\ntype=5\nimage=2\nshortCut=9\ntitle=t\nurl=http://a\ntips=tip\n"
      "color=255\n");
  ASSERT_TRUE(p.ok);
  const LinkInfo& link = p.config->GetLinks()[0];
  EXPECT_EQ(std::tie(link.url, link.x, link.y, link.width, link.height, link.type),
            std::make_tuple(std::string("u"), 1, 2, 3, 4, 4));
  ASSERT_EQ(p.config->GetMenus().size(), 2u);
  EXPECT_EQ(p.config->GetMenus()[0].title, "A");
  EXPECT_EQ(p.config->GetMenus()[0].shortCut, 5);
  EXPECT_EQ(p.config->GetMenus()[1].type, 2);
  const GamePicInfo& pic = p.config->GetGamePics()[0];
  EXPECT_EQ(std::tie(pic.x, pic.y, pic.width, pic.height, pic.interval, pic.count),
            std::make_tuple(1, 2, 3, 4, 5, 6));
  const GameButtonInfo& b = p.config->GetGameButtons()[0];
  EXPECT_EQ(std::tie(b.x, b.y, b.type, b.image, b.shortCut, b.title, b.url, b.tips, b.color),
            std::make_tuple(-31, 1, 5, 2, 9, std::string("t"), std::string("http://a"),
                            std::string("tip"), 255));
}

class PackagedConfig : public ::testing::Test {
 protected:
  LauncherConfig config;
  std::vector<std::string> messages;
  TempDir dir;

  void SetUp() override {
    config.SetMessageSink([this](std::string_view m) { messages.push_back(std::string(m)); });
  }
  std::string Pack(const std::map<std::string, std::string>& files) {
    std::string path = dir / "launcher";
    WriteFile(path, PackBytes(files), 0755);
    return path;
  }
};

TEST_F(PackagedConfig, StartupMessagesForBrokenPackages) {
  EXPECT_FALSE(config.OpenArchiveAt(dir / "missing"));
  EXPECT_TRUE(messages.empty()) << "an unreadable executable shows nothing";

  WriteFile(dir / "plain", testsupport::PlainExecutable(), 0755);
  EXPECT_FALSE(config.OpenArchiveAt(dir / "plain"));
  WriteFile(dir / "garbage", testsupport::PlainExecutable() + std::string(5000, 'g'), 0755);
  EXPECT_FALSE(config.OpenArchiveAt(dir / "garbage"));
  WriteFile(dir / "empty", "", 0755);
  EXPECT_FALSE(config.OpenArchiveAt(dir / "empty"));
  EXPECT_EQ(messages, (std::vector<std::string>{Gbk("没有附加配置文件,请打包配置文件"),
                                                Gbk("OpenZip失败"), "CreateMapFile fail"}));

  messages.clear();
  ASSERT_TRUE(config.OpenArchiveAt(Pack({{"config/main1.png", "x"}})));
  EXPECT_FALSE(config.LoadConfigFile("config/cg.txt"));
  EXPECT_EQ(messages, std::vector<std::string>{Gbk("读取ini文件失败")});
}

TEST_F(PackagedConfig, ZipBombInConfigIsAMissingFile) {
  std::string path = Pack({{"config/cg.txt", testsupport::MinimalConfig()}});
  std::string bytes = testsupport::ReadFile(path);
  std::size_t central = bytes.find("PK\x01\x02");
  for (int i = 0; i < 4; ++i) {
    bytes[central + 24 + i] = '\xFF';
  }
  WriteFile(path, bytes, 0755);
  ASSERT_TRUE(config.OpenArchiveAt(path));
  EXPECT_FALSE(config.LoadConfigFile("config/cg.txt"));
  EXPECT_EQ(messages, std::vector<std::string>{Gbk("读取ini文件失败")});
}

TEST_F(PackagedConfig, PicturesKeepTheirDecodedForm) {
  auto rgb = MakePng(3, 2, false,
                     [](int x, int y) { return (x * 80u) << 24 | (y * 90u) << 16 | 7u << 8; });
  auto rgba = MakePng(2, 2, true, [](int x, int y) { return 0x10203000u | (x + 2 * y) * 60u; });
  ASSERT_TRUE(config.OpenArchiveAt(
      Pack({{"config/logo.png", rgb}, {"config/main1.png", rgba}, {"config/bad.png", "nope"}})));

  Bitmap logo;
  ASSERT_TRUE(config.LoadImageFromArchive("config/logo.png", &logo));
  EXPECT_EQ(logo.bitsPerPixel, 24);
  EXPECT_EQ(logo.width, 3);
  EXPECT_EQ(logo.Pixel(2, 1)[0], 160);
  EXPECT_EQ(logo.Pixel(2, 1)[1], 90);
  EXPECT_EQ(logo.Pixel(2, 1)[2], 7);

  std::unique_ptr<Bitmap> main;
  ASSERT_TRUE(config.LoadGdiplusImage("config/main1.png", &main));
  EXPECT_EQ(main->bitsPerPixel, 32);
  // Straight alpha: colour bytes untouched by a partly transparent alpha.
  const std::uint8_t* p = main->Pixel(1, 1);
  EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{0x10, 0x20, 0x30, 180}));

  Bitmap bad;
  EXPECT_FALSE(config.LoadImageFromArchive("config/bad.png", &bad));
  std::unique_ptr<Bitmap> badMain;
  EXPECT_TRUE(config.LoadGdiplusImage("config/bad.png", &badMain));
  EXPECT_TRUE(badMain->Empty());
  EXPECT_TRUE(messages.empty());

  EXPECT_FALSE(config.LoadImageFromArchive("config/1_n.png", &bad));
  EXPECT_EQ(messages, std::vector<std::string>{Gbk("读取图片失败")});
}

}  // namespace
}  // namespace launcher
