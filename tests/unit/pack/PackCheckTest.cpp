#include "pack/Check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "PackFixtures.h"
#include "pack/Package.h"
#include "support/TestSupport.h"

namespace launcher::pack {
namespace {

using fixtures::CleanConfig;
using fixtures::CleanSkin;
using testsupport::TempDir;

// A finding as the tests expect it; file names are matched by their ending.
struct Expected {
  Severity severity;
  FindingKind kind;
  int line;
  std::string key;
  std::string file = "cg.txt";
};

bool Matches(const Finding& f, const Expected& e) {
  return f.severity == e.severity && f.kind == e.kind && f.line == e.line && f.key == e.key &&
         f.file.ends_with(e.file);
}

// Every finding but the notes must be expected, and every expected one found.
void ExpectExactly(const std::vector<Finding>& findings, const std::vector<Expected>& expected) {
  std::vector<bool> used(expected.size());
  for (const Finding& f : findings) {
    if (f.severity == Severity::kNote) {
      continue;
    }
    bool found = false;
    for (std::size_t i = 0; i < expected.size() && !found; ++i) {
      if (!used[i] && Matches(f, expected[i])) {
        used[i] = found = true;
      }
    }
    EXPECT_TRUE(found) << "unexpected: " << FormatFinding(f);
  }
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_TRUE(used[i]) << "missing: " << FindingKindName(expected[i].kind) << " at line "
                         << expected[i].line << " key " << expected[i].key;
  }
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) {
    text.replace(at, from.size(), to);
  }
  return text;
}

struct FolderCase {
  const char* name;
  std::string config;                                       // cg.txt
  std::map<std::string, std::optional<std::string>> files;  // replaced, added or (nullopt) removed
  std::vector<Expected> expected;
};

constexpr auto E = Severity::kError;
constexpr auto W = Severity::kWarning;
using K = FindingKind;

std::vector<FolderCase> FolderCases() {
  const std::string base = CleanConfig();
  const std::string bad = "not a png";
  return {
      {"clean", base, {}, {}},
      {"no cg.txt", base, {{"cg.txt", std::nullopt}}, {{E, K::kMissingConfig, 0, ""}}},
      {"linkCount 0",
       Replace(base, "linkCount=2", "linkCount=0"),
       {},
       {{E, K::kLinkCount, 3, "linkCount"},
        {W, K::kUnreadSection, 16, ""},
        {W, K::kUnreadSection, 19, ""}}},
      {"main1.png missing",
       base,
       {{"main1.png", std::nullopt}},
       {{E, K::kMissingPicture, 0, "", "main1.png"}}},
      {"main1.png spelled in another case",
       base,
       {{"main1.png", std::nullopt}, {"Main1.png", fixtures::Png(4, 4)}},
       {{E, K::kMissingPicture, 0, "", "/main1.png"}, {W, K::kUnusedFile, 0, "", "Main1.png"}}},
      {"main1.png undecodable",
       base,
       {{"main1.png", bad}},
       {{E, K::kBadPicture, 0, "", "main1.png"}}},
      {"pressed picture missing",
       base,
       {{"2_d.png", std::nullopt}},
       {{E, K::kMissingPicture, 0, "", "2_d.png"}}},
      {"normal picture undecodable",
       base,
       {{"2_n.png", bad}},
       {{E, K::kBadPicture, 0, "", "2_n.png"}}},
      {"style.png missing",
       base,
       {{"style.png", std::nullopt}},
       {{E, K::kMissingPicture, 0, "", "style.png"}}},
      {"logo.png missing",
       base,
       {{"logo.png", std::nullopt}},
       {{E, K::kMissingPicture, 0, "", "logo.png"}}},
      {"firstUrl makes link pictures optional",
       Replace(base, "title=Test", "firstUrl=http://game/"),
       {{"2_d.png", std::nullopt}},
       {{W, K::kMissingPicture, 0, "", "2_d.png"}}},
      {"no page and no firstUrl: the game pictures are optional",
       Replace(base, "type=4", "type=0"),
       {{"logo.png", std::nullopt}},
       {{W, K::kNoGameWindow, 1, "firstUrl"}, {W, K::kMissingPicture, 0, "", "logo.png"}}},
      {"character GBK cannot hold",
       Replace(base, "title=Test", "title=星\xF0\x9F\x98\x80"),
       {},
       {{E, K::kNotGbk, 15, ""}}},
      {"value cut",
       Replace(base, "title=Test", "title=" + std::string(200, 'x')),
       {},
       {{W, K::kValueCut, 15, "title"}}},
      {"count cut",
       Replace(base, "picCount=2", "picCount=5000"),
       {},
       {{W, K::kCountCut, 5, "picCount"}, {W, K::kMissingSection, 5, "picCount"}}},
      {"section missing within its count",
       Replace(base, "gameButtonCount=1", "gameButtonCount=2"),
       {},
       {{W, K::kMissingSection, 6, "gameButtonCount"}, {W, K::kNoPictureEntry, 0, "image"}}},
      {"edge image naming no entry",
       Replace(base, "edgeImage3=1", "edgeImage3=7"),
       {},
       {{W, K::kNoPictureEntry, 9, "edgeImage3"}}},
      {"hover state below the sheet",
       Replace(base, "x=4\nwidth=4\nheight=4", "x=4\nwidth=4\nheight=5"),
       {},
       {{W, K::kSpriteRect, 30, "height"}}},
      {"rectangle right of the sheet",
       Replace(base, "x=4\n", "x=5\n"),
       {},
       {{W, K::kSpriteRect, 29, "width"}}},
      {"two operations on F5", base + "shortCut=5\n", {}, {{W, K::kShortcutClash, 35, "shortCut"}}},
      {"F10 never arrives",
       Replace(base, "shortCut=5", "shortCut=10"),
       {},
       {{W, K::kShortcutIgnored, 23, "shortCut"}}},
      {"unknown key", base + "colour=5\n", {}, {{W, K::kUnknownKey, 35, "colour"}}},
      {"known unread key", Replace(base, "title=Test", "delay=0"), {}, {}},
      {"section beyond its count",
       base + "[link3]\ntype=1\n",
       {},
       {{W, K::kUnreadSection, 35, ""}}},
      {"key before the first section",
       "delay=0\n" + base,
       {},
       {{W, K::kKeyBeforeSection, 1, "delay"}}},
      {"key given twice", base + "type=5\n", {}, {{W, K::kDuplicateKey, 33, "type"}}},
      {"line without equals sign", base + "image 2\n", {}, {{W, K::kIgnoredLine, 35, ""}}},
      {"NUL byte", base + std::string("\0x=1\n", 5), {}, {{W, K::kNulByte, 35, ""}}},
      {"bytes that are not GBK",
       Replace(base, "title=Test", "title=\xFF"),
       {},
       {{W, K::kTextForm, 15, ""}}},
      {"file nothing reads",
       base,
       {{"extra.png", fixtures::Png(2, 2)}},
       {{W, K::kUnusedFile, 0, "", "extra.png"}}},
      {"empty game header",
       Replace(base, "gameheader=http://game/start?", "gameheader="),
       {},
       {{W, K::kEmptyGameHeader, 2, "gameheader"}}},
  };
}

TEST(PackCheck, FindingsOfSkinFoldersNameTheirKindAndLine) {
  for (const FolderCase& c : FolderCases()) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    auto files = CleanSkin();
    files["cg.txt"] = c.config;
    for (const auto& [name, bytes] : c.files) {
      if (bytes) {
        files[name] = *bytes;
      } else {
        files.erase(name);
      }
    }
    fixtures::WriteSkin(dir.Path(), files);
    PackageResult read = ReadSkinFolder(dir.Path());
    ASSERT_TRUE(read.package) << read.error;
    ExpectExactly(CheckPackage(*read.package), c.expected);
  }
}

TEST(PackCheck, LineNumbersFollowEveryKindOfLineEnd) {
  for (const char* end : {"\n", "\r\n", "\r"}) {
    SCOPED_TRACE(end[0] == '\n' ? "LF" : end[1] ? "CR LF" : "CR");
    TempDir dir;
    auto files = CleanSkin();
    std::string config;
    for (char c : CleanConfig() + "colour=5\n") {
      config += c == '\n' ? std::string(end) : std::string(1, c);
    }
    files["cg.txt"] = config;
    fixtures::WriteSkin(dir.Path(), files);
    PackageResult read = ReadSkinFolder(dir.Path());
    ASSERT_TRUE(read.package);
    ExpectExactly(CheckPackage(*read.package), {{W, K::kUnknownKey, 35, "colour"}});
  }
}

TEST(PackCheck, SubfoldersAreReportedAndNotPacked) {
  TempDir dir;
  fixtures::WriteSkin(dir.Path(), CleanSkin());
  std::filesystem::create_directory(dir / "more");
  PackageResult read = ReadSkinFolder(dir.Path());
  ASSERT_TRUE(read.package);
  ExpectExactly(CheckPackage(*read.package), {{W, K::kSkippedFile, 0, "", "more"}});
  EXPECT_EQ(ExitCodeFor(CheckPackage(*read.package)), 1);
}

struct ExecutableCase {
  const char* name;
  std::string bytes;
  std::vector<Expected> expected;
};

std::string Packed(const std::map<std::string, std::string>& entries) {
  return testsupport::PackBytes(entries);
}

// A packed file whose first entry's compressed data is damaged.
std::string WithDamagedFirstEntry(std::map<std::string, std::string> entries) {
  std::string bytes = Packed(entries);
  std::size_t start = testsupport::PlainExecutable().size();
  bytes[start + 30 + entries.begin()->first.size() + 8] ^= 0x55;
  return bytes;
}

TEST(PackCheck, FindingsOfPackedExecutables) {
  auto entries = fixtures::AsEntries(CleanSkin());
  auto with = [&](const std::string& name, const std::string& bytes) {
    auto copy = entries;
    copy[name] = bytes;
    return copy;
  };
  const std::string bom = "\xEF\xBB\xBF" + Replace(CleanConfig(), "Test", "星辰");
  const std::string utf8 = Replace(CleanConfig(), "Test", "星辰");
  std::string noisy(4000, 'a');
  for (std::size_t i = 0; i < noisy.size(); ++i) {
    noisy[i] = static_cast<char>('a' + i * 7 % 26);
  }

  const std::vector<ExecutableCase> cases = {
      {"clean", Packed(entries), {}},
      {"nothing appended", testsupport::PlainExecutable(), {{E, K::kArchive, 0, "", ""}}},
      {"garbage appended",
       testsupport::PlainExecutable() + std::string(300, 'x'),
       {{E, K::kArchive, 0, "", ""}}},
      {"UTF-8 with byte-order mark",
       Packed(with("config/cg.txt", bom)),
       {{W, K::kTextForm, 0, "", "(config/cg.txt)"}}},
      {"UTF-8 without byte-order mark",
       Packed(with("config/cg.txt", utf8)),
       {{W, K::kTextForm, 0, "", "(config/cg.txt)"}}},
      {"entry outside config/",
       Packed(with("readme.txt", "hello")),
       {{W, K::kUnusedFile, 0, "", "(readme.txt)"}}},
      {"damaged entry nothing needs",
       WithDamagedFirstEntry(with("config/1.bin", noisy)),
       {{W, K::kDamagedEntry, 0, "", "(config/1.bin)"}}},
      {"damaged picture the launcher needs",
       WithDamagedFirstEntry(entries),
       {{E, K::kMissingPicture, 0, "", "(config/2_d.png)"}}},
  };
  for (const ExecutableCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    testsupport::WriteFile(dir / "game", c.bytes, 0755);
    PackageResult read = ReadPackedExecutable(dir / "game");
    ASSERT_TRUE(read.package) << read.error;
    ExpectExactly(CheckPackage(*read.package), c.expected);
  }
}

TEST(PackCheck, ArchiveErrorsCarryTheLaunchersOwnMessage) {
  TempDir dir;
  testsupport::WriteFile(dir / "plain", testsupport::PlainExecutable(), 0755);
  testsupport::WriteFile(dir / "garbage", testsupport::PlainExecutable() + "PK not a zip", 0755);
  for (auto [file, message] : {std::pair{"plain", "没有附加配置文件,请打包配置文件"},
                               std::pair{"garbage", "OpenZip失败"}}) {
    PackageResult read = ReadPackedExecutable(dir / file);
    ASSERT_TRUE(read.package);
    auto findings = CheckPackage(*read.package);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_NE(findings[0].message.find(message), std::string::npos) << findings[0].message;
    EXPECT_EQ(ExitCodeFor(findings), 2);
  }
}

TEST(PackCheck, DemoSkinIsClean) {
  PackageResult read = ReadSkinFolder(LAUNCHER_SOURCE_DIR "/demo/skin");
  ASSERT_TRUE(read.package) << read.error;
  auto findings = CheckPackage(*read.package);
  for (const Finding& f : findings) {
    EXPECT_EQ(f.severity, Severity::kNote) << FormatFinding(f);
  }
  EXPECT_EQ(ExitCodeFor(findings), 0);
}

}  // namespace
}  // namespace launcher::pack
