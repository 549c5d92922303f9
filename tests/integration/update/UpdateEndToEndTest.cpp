// A real launcher finds a newer build on a test server, downloads it, replaces its own file by
// it through the replacement script and the new build starts, at the same path.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

namespace {

using namespace std::chrono_literals;
using testsupport::HttpReply;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::TestHttpServer;
using testsupport::WriteFile;
using Clock = std::chrono::steady_clock;

constexpr char kVersionPath[] = "/update/version.txt";
constexpr char kExePath[] = "/update/Launcher.exe";

std::string Config(const std::string& version, int port) {
  return "[global]\nlinkCount=1\ntitle=test\nversion=" + version +
         "\nserver=127.0.0.1\nport=" + std::to_string(port) + "\nversionUrl=" + kVersionPath +
         "\nexeUrl=" + kExePath + "\n[link1]\ntype=4\nx=1\ny=2\nwidth=30\nheight=20\n";
}

std::string Build(const std::string& launcher, const std::string& version, int port) {
  auto skin = testsupport::MinimalSkin();
  skin["config/cg.txt"] = Config(version, port);
  return testsupport::PackBytes(skin, launcher);
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Processes whose parent is this one: the launcher, and (as this process is their subreaper)
// the script and the new launcher once their parents have ended.
std::vector<pid_t> OurChildren() {
  std::vector<pid_t> children;
  std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
  while (dirent* entry = readdir(proc.get())) {
    pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    std::string stat = ReadFile("/proc/" + std::string(entry->d_name) + "/stat");
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    int ppid = 0;
    char state = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == getpid()) {
      children.push_back(pid);
    }
  }
  return children;
}

// Reaps children until none is left; false (after ending those still there) on time-out.
bool ReapAll(std::chrono::seconds timeout) {
  auto deadline = Clock::now() + timeout;
  for (;;) {
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    if (OurChildren().empty() && waitpid(-1, nullptr, WNOHANG) < 0) return true;
    if (Clock::now() > deadline) {
      for (pid_t pid : OurChildren()) kill(pid, SIGKILL);
      while (waitpid(-1, nullptr, 0) > 0) {
      }
      return false;
    }
    std::this_thread::sleep_for(50ms);
  }
}

struct Layout {
  const char* name;
  const char* exeFolder;  // below the temporary folder
  const char* exeName;
  const char* cwdFolder;  // the launcher's current directory, below the temporary folder
};

class UpdateEndToEnd : public ::testing::TestWithParam<Layout> {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display (scripts/test starts Xvfb)";
    launcher_ = ReadFile(LAUNCHER_BINARY_DIR "/launcher");
    ASSERT_FALSE(launcher_.empty()) << "build the launcher target first";
    // Orphans of the launcher (the script, the new build) come to this process to be reaped.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  }

  // Starts the launcher at exe with cwd as its current directory and its own home folder.
  pid_t Start(const std::string& exe, const std::string& cwd, const std::string& home) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string_view entry(*e);
      if (entry.rfind("HOME=", 0) == 0 || entry.rfind("XDG_CONFIG_HOME=", 0) == 0 ||
          entry.rfind("ASAN_OPTIONS=", 0) == 0) {
        continue;
      }
      env.emplace_back(entry);
    }
    env.push_back("HOME=" + home);  // no desktop folder there: no shortcut is written
    env.push_back("ASAN_OPTIONS=detect_leaks=0");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = exe;
    char* argv[] = {program.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid = -1;
    int error = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
  }

  std::string launcher_;
};

TEST_P(UpdateEndToEnd, TheLauncherReplacesItselfAndTheNewBuildStarts) {
  const Layout& layout = GetParam();
  TempDir root;
  std::string folder = root / layout.exeFolder;
  std::string cwd = root / layout.cwdFolder;
  std::string home = root / "home";
  std::filesystem::create_directories(folder);
  std::filesystem::create_directories(cwd);
  std::filesystem::create_directories(home);
  std::string exe = folder + "/" + layout.exeName;
  std::string userAgent =
      std::string(layout.exeName).substr(0, std::string(layout.exeName).rfind('.'));

  TestHttpServer server;
  const std::string newBuild = Build(launcher_, "2.0", server.Port());
  server.Serve(kVersionPath, HttpReply::Ok("2.0\r\n"));
  server.Serve(kExePath, HttpReply::Ok(newBuild));
  WriteFile(exe, Build(launcher_, "1.0", server.Port()), 0750);

  pid_t first = Start(exe, cwd, home);
  ASSERT_GT(first, 0);
  // The old build ends with exit code 0 right after the hand-over; the new one asks for the
  // version again.
  int firstStatus = -1;
  bool asked = server.WaitForRequests(2, 60s);
  for (auto deadline = Clock::now() + 30s; asked && Clock::now() < deadline;) {
    if (waitpid(first, &firstStatus, WNOHANG) == first) break;
    std::this_thread::sleep_for(20ms);
  }
  asked = asked && server.WaitForRequests(3, 60s);
  // The new build is up with its launcher window open, as a player would see it; once the
  // script has handed over, end it as the player closing the window would.
  std::this_thread::sleep_for(2s);
  for (pid_t pid : OurChildren()) kill(pid, SIGTERM);
  bool reaped = ReapAll(60s);
  ASSERT_TRUE(asked) << server.Requests().size() << " requests";
  EXPECT_TRUE(reaped) << "a launcher or the script did not end";
  EXPECT_TRUE(WIFEXITED(firstStatus) && WEXITSTATUS(firstStatus) == 0) << firstStatus;

  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  const char* paths[] = {kVersionPath, kExePath, kVersionPath};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(requests[i].target, paths[i]);
    EXPECT_EQ(requests[i].Header("user-agent"), userAgent);
    EXPECT_EQ(requests[i].Header("host"), "127.0.0.1:" + std::to_string(server.Port()));
  }

  // The new build sits at the launcher's own path, with its permission bits.
  EXPECT_TRUE(ReadFile(exe) == newBuild) << "the file at the own path is not the served build";
  struct stat st {};
  ASSERT_EQ(stat(exe.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0750u);

  // The new build's start removed the script (and the backup, when it sits in the same
  // folder); the downloads were consumed.
  if (cwd == folder) {
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{layout.exeName});
  } else {
    EXPECT_TRUE(FilesIn(cwd).empty());
    // Start-up looks for leftovers in its current directory only: the backup beside the
    // executable stays until a start from that folder.
    EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"Launcher_back_up.exe", layout.exeName}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, UpdateEndToEnd,
    ::testing::Values(
        Layout{"SameFolder", "game", "launcher", "game"},
        Layout{"AwkwardPath", "Spiele \"neu\" $HOME `id` 'x' \xE6\xB8\xB8\xE6\x88\x8F",
               "My Game.bin", "Spiele \"neu\" $HOME `id` 'x' \xE6\xB8\xB8\xE6\x88\x8F"},
        Layout{"OtherCurrentDirectory", "game", "launcher", "elsewhere $`'\" \xC3\xBC"}),
    [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

}  // namespace
