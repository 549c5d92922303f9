#include "update/UpdatePlatformPosix.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/TestSupport.h"
#include "update/UpdateFiles.h"

extern char** environ;

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

int RunShell(const std::string& script) {
  std::string shell = "/bin/sh";
  std::string arg = script;
  char* argv[] = {shell.data(), arg.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, shell.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Folder names the shell must take literally.
const char* const kAwkwardNames[] = {
    "plain",
    "with blank's \"quotes\" $HOME `id` \\ * ? [a] ; & | < > ( ) ~ # \xE6\xB8\xB8\xE6\x88\x8F",
    "-starts-with-dash\nand a line feed",
};

TEST(UpdateScript, RunsWithAwkwardPathsAndPutsTheNewBuildAtTheOwnPath) {
  for (const char* name : kAwkwardNames) {
    SCOPED_TRACE(name);
    TempDir root;
    std::string folder = root / name;
    std::string work = root / (std::string(name) + " work");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(work.c_str(), 0755), 0);
    std::string own = folder + "/" + name + ".bin";
    std::string downloaded = work + "/-2new.exe";
    std::string marker = root / "marker";
    WriteFile(own, "old build", 0710);
    // The "new build" tells where it was started from.
    WriteFile(downloaded, "#!/bin/sh\necho \"$0\" > " + marker + "\n", 0600);

    std::string script;
    ASSERT_TRUE(PrepareUpdateScript(work, own, downloaded, &script));
    EXPECT_EQ(script, work + "/" + kUpdateScriptName);
    EXPECT_EQ(ModeOf(downloaded), 0710u) << "the download takes the executable's bits";
    ASSERT_EQ(RunShell(script), 0);

    EXPECT_EQ(ReadFile(marker), own + "\n");
    EXPECT_EQ(ReadFile(own).rfind("#!/bin/sh", 0), 0u);
    EXPECT_EQ(ModeOf(own), 0710u);
    EXPECT_EQ(ReadFile(folder + "/" + kBackupName), "old build");
    EXPECT_FALSE(FileExists(downloaded));
  }
}

TEST(UpdateScript, AFailedMoveOfTheNewBuildPutsTheOldOneBack) {
  TempDir root;
  std::string own = root / "launcher";
  WriteFile(own, "#!/bin/sh\ntrue\n", 0755);
  std::string script;
  // The download vanished after the script was written.
  WriteFile(root / "-2new.exe", "new", 0644);
  ASSERT_TRUE(PrepareUpdateScript(root.Path(), own, root / "-2new.exe", &script));
  std::remove((root / "-2new.exe").c_str());
  RunShell(script);
  EXPECT_EQ(ReadFile(own), "#!/bin/sh\ntrue\n");
}

TEST(UpdateScript, PreparationRefusesWhatCouldNotEndWell) {
  TempDir root;
  WriteFile(root / "own", "old", 0755);
  WriteFile(root / "new", "new", 0600);
  struct Case {
    const char* name;
    std::string cwd, own, downloaded;
  };
  const Case cases[] = {
      {"own path without a folder", root.Path(), "own", root / "new"},
      {"own folder missing", root.Path(), root / "gone/own", root / "new"},
      {"own file missing", root.Path(), root / "other", root / "new"},
      {"download missing", root.Path(), root / "own", root / "absent"},
      {"script folder missing", root / "gone", root / "own", root / "new"},
  };
  for (const Case& c : cases) {
    std::string script;
    EXPECT_FALSE(PrepareUpdateScript(c.cwd, c.own, c.downloaded, &script)) << c.name;
    EXPECT_TRUE(script.empty()) << c.name;
    EXPECT_FALSE(FileExists(root / kUpdateScriptName)) << c.name;
  }
  EXPECT_EQ(ReadFile(root / "own"), "old");
  EXPECT_EQ(ReadFile(root / "new"), "new");
}

TEST(UpdateScript, StartsDetachedWithoutOurDescriptors) {
  TempDir root;
  // A descriptor of ours that a child would keep unless closed on purpose.
  int inherited = open((root / "ours").c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(inherited, 3);
  std::string out = root / "out";
  std::string script = root / "probe.sh";
  std::string fd = std::to_string(inherited);
  // Looked at before any redirection of the shell's own (which the shell may make in itself).
  const std::string probe =
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
  WriteFile(script, text, 0644);
  ASSERT_TRUE(StartDetached(script));
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
  // The shell is nobody's to wait for but ours here; reap it so no zombie stays behind.
  for (int i = 0; i < 40 && waitpid(-1, nullptr, WNOHANG) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace
}  // namespace launcher
