// The update in a process of its own, ended at random instants (SIGKILL) and at the close of the
// last window: the executable's path must hold a whole build that starts, old or new, whenever
// the process ends, and the ending must never wait for the worker.
//
// The child is this test program itself, running UpdateChild.Run with UPDATE_CHILD set.
// UPDATE_KILL_TRIALS sets the number of kill trials (bench/update/kill_trials runs 100).
#include <fcntl.h>
#include <signal.h>
#include <sodium.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <thread>

#include "app/LauncherApp.h"
#include "base/Platform.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "ui/fake/FakeUi.h"
#include "update/UpdateFiles.h"
#include "update/UpdateThread.h"

extern char** environ;

namespace launcher {
namespace {

using namespace std::chrono_literals;
using testsupport::HttpReply;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::TestHttpServer;
using testsupport::WriteFile;
using Clock = std::chrono::steady_clock;

constexpr char kVersionPath[] = "/v.txt";
constexpr char kExePath[] = "/dl/launcher";

// A build that starts, made large enough (incompressible padding) that its transfer, its check
// and its flush take a while.
std::string Build(const std::string& version) {
  auto skin = testsupport::MinimalSkin();
  skin["config/cg.txt"] = "[global]\nlinkCount=1\nversion=" + version + "\n[link1]\ntype=4\n";
  std::mt19937 random(7);
  std::string padding(std::size_t{1536} * 1024, '\0');
  for (char& c : padding) {
    c = static_cast<char>(random());
  }
  skin["config/padding.bin"] = padding;
  return testsupport::PackBytes(skin);
}

// The packaged version of the file at path, or empty when it would not start.
std::string StartableVersion(const std::string& path) {
  LauncherConfig config;
  if (!config.OpenArchiveAt(path) || !config.LoadConfigFile("config/cg.txt") ||
      !config.ParseConfig()) {
    return {};
  }
  return config.GetSettings().version;
}

class Child {
 public:
  // Starts the child in mode; its standard input is a pipe held here.
  Child(const std::string& mode, const std::string& root, int port) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
      return;
    }
    input_ = fds[1];
    // First, so that they win over the same names further on: the sanitizer build's leak
    // check at exit is not part of the program's ending.
    std::vector<std::string> env = {"UPDATE_CHILD=" + mode, "UPDATE_CHILD_DIR=" + root,
                                    "UPDATE_CHILD_PORT=" + std::to_string(port),
                                    "ASAN_OPTIONS=detect_leaks=0"};
    for (char** e = environ; *e; ++e) {
      env.emplace_back(*e);
    }
    std::vector<char*> envp;
    envp.reserve(env.size() + 1);
    for (auto& e : env) {
      envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::string self = OwnExecutablePath();
    std::string filter = "--gtest_filter=UpdateChild.Run";
    char* argv[] = {self.data(), filter.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, self.c_str(), &actions, nullptr, argv, envp.data()) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (input_ >= 0) {
      close(input_);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return pid_ > 0; }
  void Kill() const { kill(pid_, SIGKILL); }
  void Say() const { [[maybe_unused]] ssize_t n = write(input_, "x", 1); }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
};

class UpdateInAProcess : public ::testing::Test {
 protected:
  TempDir root;
  std::string game = root / "game";
  std::string own = game + "/launcher";
  TestHttpServer server;
  std::string oldBuild = Build("1.0");
  std::string newBuild = Build("2.0");

  void SetUp() override {
    std::filesystem::create_directories(game);
    std::filesystem::create_directories(root / "work");
    ASSERT_GE(sodium_init(), 0);
    std::string pub(crypto_sign_PUBLICKEYBYTES, '\0');
    std::string secret(crypto_sign_SECRETKEYBYTES, '\0');
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(pub.data()),
                        reinterpret_cast<unsigned char*>(secret.data()));
    std::string sig(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(sig.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(newBuild.data()), newBuild.size(),
                         reinterpret_cast<const unsigned char*>(secret.data()));
    WriteFile(root / "update.pub", pub);
    server.Serve(kVersionPath, HttpReply::Ok("2.0\n"));
    server.Serve(std::string(kExePath) + ".sig", HttpReply::Ok(sig));
    WriteFile(own, oldBuild, 0755);
  }
};

TEST_F(UpdateInAProcess, AKillAtAnyInstantLeavesAWholeBuildThatStarts) {
  const char* count = std::getenv("UPDATE_KILL_TRIALS");
  const int trials = count ? std::atoi(count) : 20;
  // About 25 chunks 4 ms apart: the transfer spans a good part of the run.
  server.Serve(kExePath, HttpReply::Paced(newBuild, std::size_t{64} * 1024, 4ms));

  // One whole run first: how long an update takes from the start of the process to its end.
  auto start = Clock::now();
  {
    Child child("install", root.Path(), server.Port());
    ASSERT_TRUE(child.Started());
    int status = child.Wait();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  const auto whole = Clock::now() - start;
  ASSERT_TRUE(ReadFile(own) == newBuild) << "a run without a kill installs the new build";

  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<long> instant(
      0, std::chrono::duration_cast<std::chrono::microseconds>(whole).count() * 11 / 10);
  int oldKept = 0, newInPlace = 0, downloadLeft = 0, bricked = 0;
  for (int trial = 0; trial < trials; ++trial) {
    WriteFile(own, oldBuild, 0755);
    std::filesystem::remove(game + "/" + kBackupName);
    Child child("install", root.Path(), server.Port());
    ASSERT_TRUE(child.Started());
    std::this_thread::sleep_for(std::chrono::microseconds(instant(random)));
    child.Kill();
    child.Wait();

    const std::string bytes = ReadFile(own);
    const bool isOld = bytes == oldBuild;
    const bool isNew = bytes == newBuild;
    const std::string version = StartableVersion(own);
    if ((!isOld && !isNew) || version != (isOld ? "1.0" : "2.0")) {
      ++bricked;
      ADD_FAILURE() << "trial " << trial << ": the executable's path holds " << bytes.size()
                    << " bytes that are neither build";
    }
    oldKept += isOld;
    newInPlace += isNew;
    // What a killed update leaves goes at the next start, and nothing else does.
    for (const auto& entry : std::filesystem::directory_iterator(game)) {
      downloadLeft += entry.path().filename().string().rfind(kDownloadPrefix, 0) == 0;
    }
    RemoveUpdateScriptsAndDownloads(game, own);
    RemoveUpdateScriptsAndDownloads(root / "work", own);
    RemoveUpdateBackup(game, own);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(game),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_TRUE(std::filesystem::is_empty(root / "work"));
  }
  std::printf(
      "kill trials: %d in a run of %lld ms: old build kept %d, new build in place %d, "
      "download left for the next start %d, bricked %d\n",
      trials,
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(whole).count()),
      oldKept, newInPlace, downloadLeft, bricked);
  EXPECT_EQ(bricked, 0);
}

TEST_F(UpdateInAProcess, TheProcessEndsAtOnceWhileTheWorkerIsMidTransfer) {
  // A byte every 20 ms: the transfer would take hours.
  server.Serve(kExePath, HttpReply::Trickle(newBuild, 20ms));
  std::vector<long> took;
  for (int run = 0; run < 3; ++run) {
    std::size_t before = server.Requests().size();
    Child child("exit", root.Path(), server.Port());
    ASSERT_TRUE(child.Started());
    ASSERT_TRUE(server.WaitForRequests(before + 2, 10s)) << "the worker never asked for the build";
    std::this_thread::sleep_for(300ms);  // well into the body
    auto closed = Clock::now();
    child.Say();  // the last window has closed
    int status = child.Wait();
    took.push_back(static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - closed).count()));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(ReadFile(own) == oldBuild);
  }
  std::printf("process end after the last window, worker mid-transfer: %ld, %ld, %ld ms\n", took[0],
              took[1], took[2]);
  // The best of three, so that a busy machine's scheduling does not decide.
  EXPECT_LT(*std::min_element(took.begin(), took.end()), 100);
}

// The child's side. Without UPDATE_CHILD it does nothing.
TEST(UpdateChild, Run) {
  const char* mode = std::getenv("UPDATE_CHILD");
  if (!mode) {
    GTEST_SKIP() << "runs only as the child of the tests above";
  }
  const std::string root = std::getenv("UPDATE_CHILD_DIR");
  const std::string own = root + "/game/launcher";
  std::optional<std::string> key;
  if (testsupport::FileExists(root + "/update.pub")) {
    key = ReadFile(root + "/update.pub");
  }

  class Recorder : public ui::MessageTarget {
   public:
    unsigned result = ~0u;
    void OnPostedMessage(unsigned message, std::uintptr_t, std::intptr_t) override {
      result = message;
    }
  } recorder;
  ui::fake::Reset();
  const ui::WindowId owner = ui::RegisterTarget(&recorder);
  auto info = std::make_shared<const CUpdateInfo>(owner, "1.0", "127.0.0.1",
                                                  std::atoi(std::getenv("UPDATE_CHILD_PORT")),
                                                  kVersionPath, kExePath, root + "/work", key);
  UpdateEnvironment env;
  env.ownPath = own;

  if (std::string(mode) == "install") {
    UpdateThreadProc(info, env);
    ui::fake::RunPostedWork();
    // The launcher alone would restart into the new build now.
    if (recorder.result == kUpdateInstalled) {
      StartDetached(own);
    }
    std::_Exit(recorder.result == kUpdateInstalled ? 0 : 1);
  }
  // "exit": the worker runs on its own thread until the word comes that the last window has
  // closed; then the application ends as the product's does.
  StartUpdateThread(info, env);
  char word = 0;
  [[maybe_unused]] ssize_t n = read(0, &word, 1);
  LauncherApp app(StartupPaths{own, root, std::nullopt});
  app.ExitInstance();
  std::exit(0);
}

}  // namespace
}  // namespace launcher
