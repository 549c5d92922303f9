// A real launcher finds a newer build on a test server, downloads it beside itself, checks it,
// renames it over its own file and, with only the launcher window open, starts it at the same
// path. With the game window open the new build waits for the next start.
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

#include "WindowOnScreen.h"
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

std::string Config(const std::string& version, int port, const std::string& extra = "") {
  return "[global]\nlinkCount=1\ntitle=test\n" + extra + "version=" + version +
         "\nserver=127.0.0.1\nport=" + std::to_string(port) + "\nversionUrl=" + kVersionPath +
         "\nexeUrl=" + kExePath + "\n[link1]\ntype=4\nx=1\ny=2\nwidth=30\nheight=20\n";
}

std::string Build(const std::string& launcher, const std::string& version, int port,
                  const std::string& extra = "") {
  auto skin = testsupport::MinimalSkin();
  skin["config/cg.txt"] = Config(version, port, extra);
  // What the game window reads besides.
  for (const char* name : {"config/style.png", "config/logo.png"}) {
    skin[name] = testsupport::MakePng(64, 64, true, [](int, int) { return 0x336699FFu; });
  }
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
// the new launcher once the old one has ended.
std::vector<pid_t> OurChildren() {
  std::vector<pid_t> children;
  std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
  while (dirent* entry = readdir(proc.get())) {
    pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) {
      continue;
    }
    std::string stat = ReadFile("/proc/" + std::string(entry->d_name) + "/stat");
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
      continue;
    }
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
    if (OurChildren().empty() && waitpid(-1, nullptr, WNOHANG) < 0) {
      return true;
    }
    if (Clock::now() > deadline) {
      for (pid_t pid : OurChildren()) {
        kill(pid, SIGKILL);
      }
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
    if (!std::getenv("DISPLAY")) {
      GTEST_SKIP() << "needs a display (scripts/test starts Xvfb)";
    }
    launcher_ = ReadFile(LAUNCHER_BINARY_DIR "/launcher");
    ASSERT_FALSE(launcher_.empty()) << "build the launcher target first";
    // Orphans of the launcher (the new build it starts) come to this process to be reaped.
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
    envp.reserve(env.size() + 1);
    for (auto& e : env) {
      envp.push_back(e.data());
    }
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
  // The old build ends with exit code 0 once it has started the new one, which asks for the
  // version again.
  int firstStatus = -1;
  bool asked = server.WaitForRequests(2, 60s);
  for (auto deadline = Clock::now() + 30s; asked && Clock::now() < deadline;) {
    if (waitpid(first, &firstStatus, WNOHANG) == first) {
      break;
    }
    std::this_thread::sleep_for(20ms);
  }
  asked = asked && server.WaitForRequests(3, 60s);
  // The new build is up with its launcher window open, as a player would see it; end it as the
  // player closing the window would.
  bool shown = false;
  for (auto deadline = Clock::now() + 30s; asked && !shown && Clock::now() < deadline;) {
    shown = WindowOnScreen(OurChildren());
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_TRUE(shown) << "the new build showed no window";
  for (pid_t pid : OurChildren()) {
    kill(pid, SIGTERM);
  }
  bool reaped = ReapAll(60s);
  ASSERT_TRUE(asked) << server.Requests().size() << " requests";
  EXPECT_TRUE(reaped) << "a launcher did not end";
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

  // The new build's start removed the backup beside it and in its current directory, once it
  // had shown that it starts; the download went by its rename, the version text was removed.
  EXPECT_EQ(FilesIn(folder), std::vector<std::string>{layout.exeName});
  if (cwd != folder) {
    EXPECT_TRUE(FilesIn(cwd).empty());
  }
}

// The player is in the game when the update arrives: it is installed, the game goes on, and the
// next start runs the new build.
TEST_F(UpdateEndToEnd, AnUpdateNeverEndsTheGame) {
  TempDir root;
  std::string home = root / "home";
  std::filesystem::create_directories(home);
  std::string exe = root / "launcher";
  TestHttpServer server;
  const std::string site = "http://127.0.0.1:" + std::to_string(server.Port());
  // The login page hands over to the game page at once.
  const std::string extra = "gameheader=" + site +
                            "/game?\n[link1]\ntype=4\nx=1\ny=2\nwidth=30\n"
                            "height=20\nurl=" +
                            site + "/login\n[global]\n";
  server.Serve("/login", HttpReply::Ok("<script>setTimeout(function() { location.href='" + site +
                                       "/game?" + site + "/play'; }, 100);</script>")
                             .With("Content-Type", "text/html"));
  server.Serve("/play", HttpReply::Ok("<title>game</title>").With("Content-Type", "text/html"));
  const std::string newBuild = Build(launcher_, "2.0", server.Port(), extra);
  server.Serve(kVersionPath, HttpReply::Ok("2.0\r\n"));
  // About eight seconds: the player is in the game before the build is there.
  server.Serve(kExePath, HttpReply::Paced(newBuild, newBuild.size() / 20 + 1, 400ms));
  WriteFile(exe, Build(launcher_, "1.0", server.Port(), extra), 0755);

  pid_t game = Start(exe, root.Path(), home);
  ASSERT_GT(game, 0);
  bool inGame = false;
  bool installed = false;
  for (auto deadline = Clock::now() + 60s; !installed && Clock::now() < deadline;) {
    std::this_thread::sleep_for(50ms);
    for (const auto& request : server.Requests()) {
      inGame |= request.target == "/play";
    }
    installed = ReadFile(exe) == newBuild;
    if (installed) {
      EXPECT_TRUE(inGame) << "the update came before the game window";
    }
  }
  EXPECT_TRUE(installed) << server.Requests().size() << " requests";
  std::this_thread::sleep_for(1s);  // time for a wrong rule to end the game
  EXPECT_EQ(waitpid(game, nullptr, WNOHANG), 0) << "the game ended";
  // Helpers of the web engine that ended and came to this process (the subreaper) go first.
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
  EXPECT_EQ(OurChildren(), std::vector<pid_t>{game}) << "something else was started";
  kill(game, SIGTERM);
  EXPECT_TRUE(ReapAll(30s));
  std::size_t versionChecks = 0;
  for (const auto& request : server.Requests()) {
    versionChecks += request.target == kVersionPath;
  }
  EXPECT_EQ(versionChecks, 1u);
  EXPECT_EQ(FilesIn(root.Path()),
            (std::vector<std::string>{"Launcher_back_up.exe", "home", "launcher"}));
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
