#include "pack/Build.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "PackFixtures.h"
#include "PackJsonReader.h"
#include "base/Text.h"
#include "pack/Check.h"
#include "pack/Cli.h"
#include "pack/Extract.h"
#include "pack/Package.h"
#include "support/TestSupport.h"

namespace launcher::pack {
namespace {

namespace fs = std::filesystem;
using fixtures::CleanSkin;
using fixtures::JsonReader;
using fixtures::JsonValue;
using fixtures::Outcome;
using fixtures::Pack;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

std::map<std::string, std::string> UnicodeSkin() {
  auto files = CleanSkin();
  files["cg.txt"] = "\xEF\xBB\xBF" +  // saved by an editor that marks UTF-8
                    [] {
                      std::string text = fixtures::CleanConfig();
                      text.replace(text.find("title=Test"), 10,
                                   "title=星辰 \"远征\"\\\ttab\nnotityTitle=点击\x01返回");
                      return text;
                    }();
  return files;
}

TEST(PackBuild, BuildThenInspectReadsBackTheSameConfiguration) {
  TempDir dir;
  fs::create_directory(dir / "skin");
  fixtures::WriteSkin(dir / "skin", UnicodeSkin());
  WriteFile(dir / "launcher", testsupport::PlainExecutable(), 0755);

  Outcome built = Pack({"build", dir / "skin", "-o", dir / "game", "--exe", dir / "launcher"});
  ASSERT_EQ(built.code, 0) << built.err;
  struct stat st {};
  ASSERT_EQ(stat((dir / "game").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);

  Outcome inspected = Pack({"inspect", dir / "game", "--json"});
  ASSERT_EQ(inspected.code, 0) << inspected.err;
  JsonValue json = JsonReader::Read(inspected.out);
  EXPECT_EQ(json["archive"]["start"].number,
            static_cast<std::int64_t>(testsupport::PlainExecutable().size()));
  EXPECT_EQ(json["archive"]["foundBy"].text, "ELF");
  EXPECT_TRUE(json["archive"]["zipEndRecordAgrees"].boolean);
  EXPECT_EQ(json["entries"].items.size(), 6u);
  EXPECT_EQ(json["entries"][0]["name"].text, "config/2_d.png");

  const JsonValue& config = json["config"];
  EXPECT_EQ(config["form"].text, "GBK");  // converted when packed, the mark dropped
  EXPECT_TRUE(config["parsed"].boolean);
  EXPECT_EQ(config["global"]["title"].text, "星辰 \"远征\"\\\ttab");
  EXPECT_EQ(config["global"]["notityTitle"].text, "点击\x01返回");
  EXPECT_EQ(config["global"]["gameheader"].text, "http://game/start?");
  EXPECT_EQ(config["global"]["linkCount"].number, 2);
  EXPECT_EQ(config["global"]["port"].number, 80);
  EXPECT_EQ(config["global"]["titleColor"].number, 16777215);
  EXPECT_EQ(config["edgeImages"].items.size(), 8u);
  EXPECT_EQ(config["links"][0]["url"].text, "http://login/");
  EXPECT_EQ(config["links"][1]["url"].text, "_blank");
  EXPECT_EQ(config["links"][1]["type"].number, 3);
  EXPECT_EQ(config["menus"][0]["shortCut"].number, 5);
  EXPECT_EQ(config["gamePics"][1]["interval"].number, 1);
  EXPECT_EQ(config["gameButtons"][0]["image"].number, 2);
  EXPECT_EQ(config["gameButtons"][0]["color"].number, 16777215);

  // The stored cg.txt is GBK, and extracting gives it back as stored.
  Outcome extracted = Pack({"extract", dir / "game", dir / "out"});
  ASSERT_EQ(extracted.code, 0) << extracted.err;
  std::string stored = ReadFile(dir / "out/cg.txt");
  EXPECT_NE(stored.find(Gbk("星辰")), std::string::npos);
  EXPECT_FALSE(stored.starts_with("\xEF\xBB\xBF"));
  EXPECT_EQ(ReadFile(dir / "out/style.png"), CleanSkin()["style.png"]);
}

TEST(PackBuild, RepackingReplacesTheArchiveInsteadOfStackingIt) {
  TempDir dir;
  fixtures::WriteSkin(dir.Path(), CleanSkin());
  PackageResult skin = ReadSkinFolder(dir.Path());
  ASSERT_TRUE(skin.package);
  const std::pair<const char*, std::string> launchers[] = {{"ELF", testsupport::PlainExecutable()},
                                                           {"PE32", fixtures::PeLauncher(false)},
                                                           {"PE32+", fixtures::PeLauncher(true)}};
  for (const auto& [format, launcher] : launchers) {
    SCOPED_TRACE(format);
    WriteFile(dir / "launcher", launcher, 0755);
    BuildResult first = BuildPackage(*skin.package, dir / "launcher", dir / "first");
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(first.removed, 0u);
    BuildResult second = BuildPackage(*skin.package, dir / "first", dir / "second");
    ASSERT_TRUE(second.ok) << second.error;
    EXPECT_GT(second.removed, 0u);
    const std::string packed = ReadFile(dir / "first");
    EXPECT_EQ(packed.substr(0, launcher.size()), launcher);
    EXPECT_EQ(ReadFile(dir / "second"), packed);
    // Packing onto itself works too, and changes nothing.
    ASSERT_TRUE(BuildPackage(*skin.package, dir / "first", dir / "first").ok);
    EXPECT_EQ(ReadFile(dir / "first"), packed);

    PackageResult read = ReadPackedExecutable(dir / "first");
    ASSERT_TRUE(read.package);
    EXPECT_EQ(read.package->location.start, launcher.size());
    EXPECT_EQ(ExitCodeFor(CheckPackage(*read.package)), 0);
  }
}

TEST(PackBuild, RefusesASkinWithErrorsAndWritesNothing) {
  TempDir dir;
  fs::create_directory(dir / "skin");
  auto files = CleanSkin();
  files.erase("main1.png");
  fixtures::WriteSkin(dir / "skin", files);
  WriteFile(dir / "launcher", testsupport::PlainExecutable(), 0755);
  WriteFile(dir / "game", "old");

  Outcome run = Pack({"build", dir / "skin", "-o", dir / "game", "--exe", dir / "launcher"});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("main1.png"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir / "game"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3);
}

TEST(PackBuild, OnlyExecutablesAreLaunchers) {
  TempDir dir;
  fixtures::WriteSkin(dir.Path(), CleanSkin());
  PackageResult skin = ReadSkinFolder(dir.Path());
  ASSERT_TRUE(skin.package);
  const std::string zipOnly = testsupport::PackBytes({{"config/cg.txt", "x"}}, "");
  for (const std::string& launcher : {std::string("#!/bin/sh\n"), zipOnly}) {
    WriteFile(dir / "launcher", launcher, 0755);
    BuildResult result = BuildPackage(*skin.package, dir / "launcher", dir / "out");
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(testsupport::FileExists(dir / "out"));
  }
}

TEST(PackBuild, Utf8ConfigurationBecomesGbkAndNamesLinesItCannotHold) {
  struct Case {
    std::string text;
    TextForm form;
    std::string gbk;
    std::vector<int> badLines;
  };
  const std::string star = Gbk("星");
  const Case cases[] = {
      {"a=1\n", TextForm::kGbk, "a=1\n", {}},
      {star + "=1\n", TextForm::kGbk, star + "=1\n", {}},  // already GBK: as it is
      {"\xEF\xBB\xBF"
       "a=星\r\n",
       TextForm::kUtf8WithBom,
       "a=" + star + "\r\n",
       {}},
      {"a=星\rb=\xF0\x9F\x98\x80\r\nc=1\nd=ก星\n",
       TextForm::kUtf8,
       "a=" + star + "\rb=?\r\nc=1\nd=?" + star + "\n",
       {2, 4}},
      {"\xEF\xBB\xBF"
       "a=\xFF\n",
       TextForm::kUtf8WithBom,
       "a=?\n",
       {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    PreparedText prepared = PrepareConfigText(c.text);
    EXPECT_EQ(prepared.form, c.form);
    EXPECT_EQ(prepared.gbk, c.gbk);
    std::vector<int> lines;
    for (const UnconvertibleLine& bad : prepared.unconvertible) {
      lines.push_back(bad.line);
    }
    EXPECT_EQ(lines, c.badLines);
  }
  EXPECT_EQ(PrepareConfigText("x=ก\n").unconvertible.at(0).characters, "ก");
}

TEST(PackExtract, EntryNamesThatCouldLeaveTheFolderAreRefused) {
  const std::pair<const char*, const char*> cases[] = {
      {"config/cg.txt", "cg.txt"},   {"config/sub/a.png", "sub/a.png"},
      {"other.txt", "other.txt"},    {"config/../evil", nullptr},
      {"../evil", nullptr},          {"config/a/../../evil", nullptr},
      {"/etc/passwd", nullptr},      {"config//etc/passwd", nullptr},
      {"config\\..\\evil", nullptr}, {"config/./a", nullptr},
      {"config/", nullptr},
  };
  for (auto [name, expected] : cases) {
    SCOPED_TRACE(name);
    std::string why;
    auto path = ExtractPath(name, &why);
    if (expected) {
      EXPECT_EQ(path.value_or("(refused: " + why + ")"), expected);
    } else {
      EXPECT_FALSE(path) << *path;
    }
  }
}

TEST(PackExtract, AHostileArchiveWritesNothing) {
  TempDir dir;
  auto entries = fixtures::AsEntries(CleanSkin());
  entries["config/../evil"] = "gotcha";
  WriteFile(dir / "game", testsupport::PackBytes(entries), 0755);
  Outcome run = Pack({"extract", dir / "game", dir / "out/skin"});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("config/../evil"), std::string::npos) << run.err;
  EXPECT_FALSE(testsupport::FileExists(dir / "out"));
  EXPECT_FALSE(testsupport::FileExists(dir / "evil"));
}

TEST(PackExtract, NeverFollowsALinkOutOfTheFolder) {
  TempDir dir;
  WriteFile(dir / "game", testsupport::PackBytes(fixtures::AsEntries(CleanSkin())), 0755);
  WriteFile(dir / "outside", "keep");
  fs::create_directory(dir / "out");
  fs::create_symlink(dir / "outside", dir / "out/logo.png");
  Outcome run = Pack({"extract", dir / "game", dir / "out"});
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(ReadFile(dir / "outside"), "keep");
}

// The installed command itself: exit codes and the launcher it packs by default.
TEST(PackCommand, ExitCodesOfTheBuiltBinary) {
  const std::string packer = LAUNCHER_BINARY_DIR "/launcher-pack";
  TempDir dir;
  fs::create_directory(dir / "clean");
  fixtures::WriteSkin(dir / "clean", CleanSkin());
  fs::create_directory(dir / "warned");
  auto warned = CleanSkin();
  warned["extra.png"] = fixtures::Png(1, 1);
  fixtures::WriteSkin(dir / "warned", warned);
  fs::create_directory(dir / "broken");
  fixtures::WriteSkin(dir / "broken", {{"cg.txt", "[global]\nlinkCount=0\n"}});

  auto status = [&](const std::string& args) {
    int raw = std::system((packer + " " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  };
  EXPECT_EQ(status("--help"), 0);
  EXPECT_EQ(status(""), 2);
  EXPECT_EQ(status("frobnicate"), 2);
  EXPECT_EQ(status("build " + (dir / "clean")), 2);  // no -o
  EXPECT_EQ(status("check " + (dir / "clean")), 0);
  EXPECT_EQ(status("check " + (dir / "warned")), 1);
  EXPECT_EQ(status("check " + (dir / "broken")), 2);
  EXPECT_EQ(status("check " + (dir / "nowhere")), 2);
  EXPECT_EQ(status("check " + std::string(LAUNCHER_SOURCE_DIR "/demo/skin")), 0);
  // Without --exe the launcher beside the packer is the base.
  EXPECT_EQ(status("build " + (dir / "clean") + " -o " + (dir / "game")), 0);
  EXPECT_EQ(status("check " + (dir / "game")), 0);
  EXPECT_EQ(status("inspect " + (dir / "game") + " --json"), 0);
}

}  // namespace
}  // namespace launcher::pack
