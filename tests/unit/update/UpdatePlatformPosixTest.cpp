#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "support/TestSupport.h"
#include "update/UpdateFiles.h"
#include "update/UpdatePlatform.h"

namespace launcher {
namespace {

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

bool Download(const std::string& path, const std::string& bytes, NewFile* file) {
  return file->Create(path) && file->Write(bytes.data(), bytes.size()) && file->FlushToDisk();
}

// Folder names that must be taken literally.
const char* const kAwkwardNames[] = {
    "plain",
    "with blank's \"quotes\" $HOME `id` \\ * ? [a] ; & | < > ( ) ~ # \xE6\xB8\xB8\xE6\x88\x8F",
    "-starts-with-dash\nand a line feed",
};

TEST(InstallBuild, PutsTheNewBuildAtTheOwnPathAndKeepsTheOldAsBackup) {
  for (const char* name : kAwkwardNames) {
    SCOPED_TRACE(name);
    TempDir root;
    std::string folder = root / name;
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    std::string own = folder + "/" + name + ".bin";
    WriteFile(own, "old build", 0710);
    // A backup of an earlier update is replaced.
    WriteFile(folder + "/" + kBackupName, "older build", 0644);
    NewFile download;
    ASSERT_TRUE(Download(folder + "/" + kDownloadPrefix + "1new", "new build", &download));
    ASSERT_TRUE(InstallBuild(download, own));
    EXPECT_FALSE(download.IsOpen());
    EXPECT_EQ(ReadFile(own), "new build");
    EXPECT_EQ(ModeOf(own), 0710u) << "the new build takes the executable's bits";
    EXPECT_EQ(ReadFile(folder + "/" + kBackupName), "old build");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              2);
  }
}

TEST(InstallBuild, RefusesWhatCouldNotEndWellAndLeavesTheOldBuild) {
  TempDir root;
  std::string own = root / "own";
  ASSERT_EQ(mkdir((root / "other").c_str(), 0755), 0);
  struct Case {
    const char* name;
    std::string downloadPath;
    std::string ownPath;
    std::function<void(const std::string&)> meddle;
  };
  const Case cases[] = {
      {"download in another folder", root / "other/dl", own, nullptr},
      {"own file missing", root / "dl", root / "absent", nullptr},
      {"download replaced after the check", root / "dl", own,
       [](const std::string& path) {
         WriteFile(path + ".x", "evil", 0755);
         rename((path + ".x").c_str(), path.c_str());
       }},
      {"download removed after the check", root / "dl", own,
       [](const std::string& path) { unlink(path.c_str()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(own, "old", 0755);
    NewFile download;
    ASSERT_TRUE(Download(c.downloadPath, "new", &download));
    if (c.meddle) {
      c.meddle(c.downloadPath);
    }
    EXPECT_FALSE(InstallBuild(download, c.ownPath));
    EXPECT_EQ(ReadFile(own), "old");
    EXPECT_FALSE(FileExists(c.ownPath == own ? root / "absent" : c.ownPath));
    // The download is gone (or, replaced by another file, was never taken).
    EXPECT_TRUE(!FileExists(c.downloadPath) || ReadFile(c.downloadPath) == "evil");
    unlink(c.downloadPath.c_str());
  }
}

TEST(NewFile, NeverOpensAnExistingNameOrFollowsALink) {
  TempDir root;
  WriteFile(root / "victim", "precious", 0644);
  symlink((root / "victim").c_str(), (root / "link").c_str());
  WriteFile(root / "taken", "earlier", 0644);
  NewFile file;
  EXPECT_FALSE(file.Create(root / "link"));
  EXPECT_FALSE(file.Create(root / "taken"));
  EXPECT_EQ(ReadFile(root / "victim"), "precious");
  EXPECT_EQ(ReadFile(root / "taken"), "earlier");
  ASSERT_TRUE(file.Create(root / "fresh"));
  EXPECT_EQ(ModeOf(root / "fresh"), 0600u);
}

TEST(UpdateLeftovers, OnlyWhatNoRunningUpdateHoldsAndNeverTheOwnBuild) {
  TempDir root;
  std::string own = root / "launcher";
  WriteFile(own, "running build", 0755);
  for (const char* name : {kUpdateBatchName, kUpdateScriptName}) {
    WriteFile(root / name, "x");
  }
  const std::string stale = root / (std::string(kDownloadPrefix) + "12new.exe");
  WriteFile(stale, "half a build");
  WriteFile(root / "victim", "precious");
  const std::string planted = root / (std::string(kDownloadPrefix) + "link");
  symlink((root / "victim").c_str(), planted.c_str());
  NewFile live;
  ASSERT_TRUE(live.Create(root / (std::string(kDownloadPrefix) + "34new.exe")));
  WriteFile(root / "Launcher_downloads.txt", "mine");
  WriteFile(root / kBackupName, "previous build", 0755);

  RemoveUpdateScriptsAndDownloads(root.Path(), own);
  EXPECT_FALSE(FileExists(root / kUpdateBatchName));
  EXPECT_FALSE(FileExists(root / kUpdateScriptName));
  EXPECT_FALSE(FileExists(stale));
  EXPECT_FALSE(std::filesystem::is_symlink(planted));
  EXPECT_EQ(ReadFile(root / "victim"), "precious");
  EXPECT_TRUE(FileExists(live.Path())) << "a download in progress stays";
  EXPECT_TRUE(FileExists(root / "Launcher_downloads.txt"));
  EXPECT_TRUE(FileExists(root / kBackupName)) << "the backup waits for a start that works";
  EXPECT_TRUE(FileExists(own));

  RemoveUpdateBackup(root.Path(), own);
  EXPECT_FALSE(FileExists(root / kBackupName));
  // An update ended between its backup and its rename leaves a second name of the build.
  ASSERT_EQ(link(own.c_str(), (root / kBackupName).c_str()), 0);
  RemoveUpdateBackup(root.Path(), own);
  EXPECT_FALSE(FileExists(root / kBackupName));
  EXPECT_EQ(ReadFile(own), "running build");
  // A launcher that itself goes by the backup's name is never removed.
  std::string named = root / kBackupName;
  WriteFile(named, "running build", 0755);
  RemoveUpdateBackup(root.Path(), named);
  EXPECT_TRUE(FileExists(named));
}

TEST(StartDetached, RunsInASessionOfItsOwnWithoutOurDescriptors) {
  TempDir root;
  // A descriptor of ours that a child would keep unless closed on purpose.
  int inherited = open((root / "ours").c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(inherited, 3);
  std::string out = root / "out";
  std::string program = root / "probe";
  std::string fd = std::to_string(inherited);
  const std::string probe =
      "#!/bin/sh\n"
      "streams=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n"
      "[ -e /proc/$$/fd/FD ] && streams=\"$streams still-open\"\n"
      "session=$(cut -d' ' -f6 /proc/$$/stat)\n"
      "printf '%s\\n' \"$session\" \"$$\" \"$streams\" > OUT.tmp\n"
      "mv OUT.tmp OUT\n";
  std::string text = probe;
  text.replace(text.find("FD"), 2, fd);
  for (std::size_t at = 0; (at = text.find("OUT", at)) != std::string::npos; at += out.size()) {
    text.replace(at, 3, out);
  }
  WriteFile(program, text, 0755);
  ASSERT_TRUE(StartDetached(program));
  close(inherited);
  for (int i = 0; i < 100 && !FileExists(out); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::string lines = ReadFile(out);
  std::size_t first = lines.find('\n');
  ASSERT_NE(first, std::string::npos) << lines;
  std::size_t second = lines.find('\n', first + 1);
  EXPECT_EQ(lines.substr(0, first), lines.substr(first + 1, second - first - 1))
      << "leads a session of its own";
  EXPECT_EQ(lines.substr(second + 1), "/dev/null\n/dev/null\n/dev/null\n");
  EXPECT_FALSE(StartDetached(root / "absent"));
  // The child is nobody's to wait for but ours here; reap it so no zombie stays behind.
  for (int i = 0; i < 40 && waitpid(-1, nullptr, WNOHANG) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace
}  // namespace launcher
