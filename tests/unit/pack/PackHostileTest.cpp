// The packer on files it did not make: archives built to exhaust or mislead it, skin folders
// holding links and special files, and targets of extract with something in the way.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include "PackFixtures.h"
#include "pack/Check.h"
#include "pack/Cli.h"
#include "pack/Package.h"
#include "support/TestSupport.h"
#include "unit/config/HostileZip.h"

namespace launcher::pack {
namespace {

namespace fs = std::filesystem;
using fixtures::CleanSkin;
using fixtures::Outcome;
using fixtures::Pack;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

bool HasKind(const std::vector<Finding>& findings, FindingKind kind, Severity severity) {
  for (const Finding& f : findings) {
    if (f.kind == kind && f.severity == severity) {
      return true;
    }
  }
  return false;
}

TEST(PackHostile, OverlappingEntriesAreRefusedWithoutAllocating) {
  TempDir dir;
  // 1000 entries × 256 MiB of one shared stream: a reader that trusted them asked for 250 GiB.
  WriteFile(dir / "bomb", testsupport::PlainExecutable() + hostile::OverlappingZip(1000), 0755);
  for (const char* command : {"inspect", "check"}) {
    SCOPED_TRACE(command);
    Outcome run = Pack({command, dir / "bomb"});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE((run.out + run.err).find("overlap"), std::string::npos) << run.out << run.err;
  }
  Outcome extracted = Pack({"extract", dir / "bomb", dir / "out"});
  EXPECT_EQ(extracted.code, 2);
  EXPECT_FALSE(FileExists(dir / "out"));
}

TEST(PackHostile, ManyEntriesAreReadInLinearTime) {
  std::map<std::string, std::string> entries = fixtures::AsEntries(CleanSkin());
  for (int i = 0; i < 8000; ++i) {
    entries["config/f" + std::to_string(i) + ".bin"] = "x";
  }
  TempDir dir;
  WriteFile(dir / "many", testsupport::PackBytes(entries), 0755);
  const auto start = std::chrono::steady_clock::now();
  Outcome run = Pack({"check", dir / "many"});
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
  EXPECT_EQ(run.code, 1) << run.err;  // the unused files are warnings
  // Quadratic lookups took minutes here; linear ones take well under a second, even sanitized.
  EXPECT_LT(seconds.count(), 10.0);
}

TEST(PackHostile, ADamagedArchiveIsAFailureOfEveryCommand) {
  auto entries = fixtures::AsEntries(CleanSkin());
  entries["config/extra.bin"] = std::string(4000, 'q');
  std::string bytes = testsupport::PackBytes(entries);
  // The first entry's deflate data, flipped.
  const std::size_t start = testsupport::PlainExecutable().size();
  bytes[start + 30 + entries.begin()->first.size() + 8] ^= 0x55;
  TempDir dir;
  WriteFile(dir / "game", bytes, 0755);
  EXPECT_EQ(Pack({"inspect", dir / "game"}).code, 2);
  EXPECT_EQ(Pack({"inspect", dir / "game", "--json"}).code, 2);
  EXPECT_EQ(Pack({"check", dir / "game"}).code, 2);
  EXPECT_EQ(Pack({"extract", dir / "game", dir / "out"}).code, 2);
}

TEST(PackHostile, ExtractRefusesEntriesThatLandInOneFile) {
  const std::pair<std::string, std::string> cases[] = {
      {"config/cg.txt", "config/cg.txt"},  // the same name twice
      {"config/cg.txt", "cg.txt"},         // two names, one file
  };
  for (const auto& [first, second] : cases) {
    SCOPED_TRACE(second);
    const std::string zip = hostile::RawZip(
        {{first, std::string("\x03\x00", 2), 0}, {second, std::string("\x03\x00", 2), 0}},
        {{first, 0}, {second, 1}});
    TempDir dir;
    WriteFile(dir / "game", testsupport::PlainExecutable() + zip, 0755);
    Outcome run = Pack({"extract", dir / "game", dir / "out"});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("both would be written to cg.txt"), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(dir / "out"));
  }
}

TEST(PackHostile, ExtractNeverWritesThroughWhatIsInTheTarget) {
  TempDir dir;
  auto entries = fixtures::AsEntries(CleanSkin());
  entries["config/sub/a.txt"] = "new";
  WriteFile(dir / "game", testsupport::PackBytes(entries), 0755);

  // A hard link to a file outside: the file in the folder is replaced, the outside one kept.
  fs::create_directory(dir / "hard");
  WriteFile(dir / "outside", "keep");
  ASSERT_EQ(link((dir / "outside").c_str(), (dir / "hard/logo.png").c_str()), 0);
  EXPECT_EQ(Pack({"extract", dir / "game", dir / "hard"}).code, 0);
  EXPECT_EQ(ReadFile(dir / "outside"), "keep");
  EXPECT_EQ(ReadFile(dir / "hard/logo.png"), CleanSkin()["logo.png"]);

  // A linked folder, and a FIFO where a file goes: errors, nothing written outside, no wait.
  fs::create_directory(dir / "linked");
  fs::create_directory(dir / "away");
  fs::create_directory_symlink(dir / "away", dir / "linked/sub");
  EXPECT_EQ(Pack({"extract", dir / "game", dir / "linked"}).code, 2);
  EXPECT_FALSE(FileExists(dir / "away/a.txt"));
  fs::create_directory(dir / "fifo");
  ASSERT_EQ(mkfifo((dir / "fifo/cg.txt").c_str(), 0644), 0);
  EXPECT_EQ(Pack({"extract", dir / "game", dir / "fifo"}).code, 2);
}

TEST(PackHostile, BuildRefusesLinksOutSpecialAndHugeFiles) {
  TempDir dir;
  WriteFile(dir / "launcher", testsupport::PlainExecutable(), 0755);
  WriteFile(dir / "private", "secret");
  auto skin = [&](const std::string& name) {
    std::string folder = dir / name;
    fs::create_directory(folder);
    fixtures::WriteSkin(folder, CleanSkin());
    return folder;
  };
  // A link that stays inside the folder is packed as the file it leads to.
  const std::string inside = skin("inside");
  fs::remove(inside + "/logo.png");
  fs::create_symlink("style.png", inside + "/logo.png");
  EXPECT_EQ(Pack({"build", inside, "-o", dir / "ok", "--exe", dir / "launcher"}).code, 0);

  const std::string outside = skin("outside");
  fs::create_symlink(dir / "private", outside + "/notes.txt");
  const std::string dangling = skin("dangling");
  fs::create_symlink(dir / "nowhere", dangling + "/notes.txt");
  const std::string fifo = skin("fifo");
  ASSERT_EQ(mkfifo((fifo + "/notes.txt").c_str(), 0644), 0);
  const std::string huge = skin("huge");
  {
    // Sparse: 4 GiB of nothing, refused by its size before a byte is read.
    int fd = open((huge + "/notes.txt").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 4ll << 30), 0);
    close(fd);
  }
  for (const std::string& folder : {outside, dangling, fifo, huge}) {
    SCOPED_TRACE(folder);
    PackageResult read = ReadSkinFolder(folder);
    ASSERT_TRUE(read.package) << read.error;
    EXPECT_TRUE(HasKind(CheckPackage(*read.package), FindingKind::kRefusedFile, Severity::kError));
    Outcome run = Pack({"build", folder, "-o", dir / "out", "--exe", dir / "launcher"});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("notes.txt"), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(dir / "out"));
  }
}

TEST(PackHostile, IconIsDescribedAndWarnedAbout) {
  struct Case {
    std::string icon;
    Severity severity;
  };
  const Case cases[] = {
      {fixtures::Png(64, 64), Severity::kNote},
      {fixtures::Png(64, 32), Severity::kWarning},
      {fixtures::Png(8, 8), Severity::kWarning},
      {"not a png", Severity::kWarning},
  };
  for (const Case& c : cases) {
    TempDir dir;
    auto files = CleanSkin();
    files["icon.png"] = c.icon;
    fixtures::WriteSkin(dir.Path(), files);
    PackageResult read = ReadSkinFolder(dir.Path());
    ASSERT_TRUE(read.package);
    auto findings = CheckPackage(*read.package);
    EXPECT_TRUE(HasKind(findings, FindingKind::kIcon, c.severity));
    EXPECT_FALSE(HasKind(findings, FindingKind::kUnusedFile, Severity::kWarning));
  }
}

}  // namespace
}  // namespace launcher::pack
