#include "update/UpdateThread.h"

#include <sodium.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "ui/Platform.h"
#include "ui/fake/FakeUi.h"
#include "update/UpdateFiles.h"
#include "update/UpdateVerify.h"

namespace launcher {
namespace {

using namespace std::chrono_literals;
using testsupport::HttpReply;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::TestHttpServer;
using testsupport::WriteFile;
using Clock = std::chrono::steady_clock;

struct Posted {
  unsigned message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

class Recorder : public ui::MessageTarget {
 public:
  std::vector<Posted> messages;
  bool quitsLoop = false;
  void OnPostedMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    messages.push_back({message, wParam, lParam});
    if (quitsLoop) {
      ui::QuitMessageLoop();
    }
  }
};

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A build that starts: the small real executable with a package of the given version.
std::string Build(const std::string& version, const std::string& extraGlobal = "") {
  auto skin = testsupport::MinimalSkin();
  skin["config/cg.txt"] =
      "[global]\nlinkCount=1\nversion=" + version + "\n" + extraGlobal + "[link1]\ntype=4\n";
  return testsupport::PackBytes(skin);
}

std::string Gzip(const std::string& bytes) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, bytes.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

struct KeyPair {
  std::string pub = std::string(crypto_sign_PUBLICKEYBYTES, '\0');
  std::string secret = std::string(crypto_sign_SECRETKEYBYTES, '\0');
  KeyPair() {
    EXPECT_GE(sodium_init(), 0);
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(pub.data()),
                        reinterpret_cast<unsigned char*>(secret.data()));
  }
  std::string Sign(const std::string& message) const {
    std::string sig(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(sig.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                         reinterpret_cast<const unsigned char*>(secret.data()));
    return sig;
  }
};

class UpdateThreadTest : public ::testing::Test {
 protected:
  TestHttpServer server;
  TempDir dir;   // the working directory: receives the version text
  TempDir game;  // the executable's folder
  std::string own = game / "launcher";
  const std::string oldBuild = Build("1.0");
  Recorder recorder;
  ui::WindowId owner = 0;
  std::atomic<bool> cancel{false};
  UpdateEnvironment env;

  void SetUp() override {
    ui::fake::Reset();
    owner = ui::RegisterTarget(&recorder);
    env.timeouts = {2000ms, 1000ms};
    env.maxExecutableBytes = 1 << 20;
    env.tickCount = [] { return 0xFFFFFFFEu; };  // prefix "-2"
    env.ownPath = own;
    env.cancel = &cancel;
    WriteFile(own, oldBuild, 0750);
  }
  void TearDown() override { ui::UnregisterTarget(owner); }

  std::shared_ptr<const CUpdateInfo> Record(const std::string& version,
                                            const std::string& server = "127.0.0.1",
                                            const std::optional<std::string>& key = std::nullopt) {
    return std::make_shared<const CUpdateInfo>(owner, version, server, this->server.Port(),
                                               "/v/version.txt", "/dl/new.exe", dir.Path(), key);
  }
  // Runs the worker here and returns the one result it posted.
  unsigned Run(const std::shared_ptr<const CUpdateInfo>& info) {
    recorder.messages.clear();
    EXPECT_EQ(UpdateThreadProc(info, env), 0);
    ui::fake::RunPostedWork();
    EXPECT_EQ(recorder.messages.size(), 1u);
    if (recorder.messages.size() != 1) {
      return ~0u;
    }
    EXPECT_EQ(recorder.messages[0].wParam, reinterpret_cast<std::uintptr_t>(info.get()));
    EXPECT_EQ(recorder.messages[0].lParam, 0);
    return recorder.messages[0].message;
  }
  // The old build untouched and nothing of the attempt left anywhere.
  void ExpectNothingChanged() {
    EXPECT_TRUE(ReadFile(own) == oldBuild) << "the executable changed";
    EXPECT_EQ(FilesIn(game.Path()), std::vector<std::string>{"launcher"});
    EXPECT_TRUE(FilesIn(dir.Path()).empty());
  }
  void ExpectInstalled(const std::string& build) {
    EXPECT_TRUE(ReadFile(own) == build) << "the new build is not in place";
    EXPECT_TRUE(ReadFile(game / kBackupName) == oldBuild);
    EXPECT_EQ(std::filesystem::status(own).permissions(),
              static_cast<std::filesystem::perms>(0750));
    EXPECT_EQ(FilesIn(game.Path()), (std::vector<std::string>{kBackupName, "launcher"}));
    EXPECT_TRUE(FilesIn(dir.Path()).empty());
    WriteFile(own, oldBuild, 0750);
    std::filesystem::remove(game / kBackupName);
  }
  std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    for (const auto& r : server.Requests()) {
      EXPECT_EQ(r.Header("user-agent"), "unit_tests") << r.target;
      EXPECT_EQ(r.Header("host"), "127.0.0.1:" + std::to_string(server.Port())) << r.target;
      paths.push_back(r.target);
    }
    return paths;
  }
};

TEST_F(UpdateThreadTest, VersionTextDecides) {
  struct Case {
    const char* name;
    const char* configured;
    HttpReply reply;
    const char* served;  // the version of the build served; null: no update expected
  };
  const Case cases[] = {
      {"same", "2.0", HttpReply::Ok("2.0\r\n"), nullptr},
      {"older published", "1.34", HttpReply::Ok("1.4"), nullptr},
      {"newer, CR LF and many lines", "1.9", HttpReply::Ok("1.10\r\n0.1\r\n9.9\r\n\r\n"), "1.10"},
      {"third field ignored", "1.34", HttpReply::Ok("1.34.9\n"), nullptr},
      {"empty text", "0.0", HttpReply::Ok(""), nullptr},
      {"words", "0.5", HttpReply::Ok("version 2\n"), nullptr},
      // As the text is read: a byte-order mark hides the major number.
      {"byte-order mark", "1.0", HttpReply::Ok(std::string("\xEF\xBB\xBF") + "2.0\r\n"), nullptr},
      // Equal by the comparison: 2.0.7 and 2 are both (2, 0).
      {"at the size bound", "1.0", HttpReply::Ok("2.0.7\n" + std::string(64 * 1024 - 6, 'x')), "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string build = Build(c.served ? c.served : "9.9");
    server.Serve("/v/version.txt", c.reply);
    server.Serve("/dl/new.exe", HttpReply::Ok(build));
    std::size_t before = server.Requests().size();
    EXPECT_EQ(Run(Record(c.configured)), c.served ? kUpdateInstalled : kUpdateUpToDate);
    EXPECT_EQ(server.Requests().size() - before, c.served ? 2u : 1u);
    if (c.served) {
      ExpectInstalled(build);
    } else {
      ExpectNothingChanged();
    }
  }
  for (const std::string& path : Paths()) {
    EXPECT_TRUE(path == "/v/version.txt" || path == "/dl/new.exe") << path;
  }
}

TEST_F(UpdateThreadTest, VersionTransferFailuresPost10009AndLeaveNothing) {
  struct Case {
    const char* name;
    HttpReply reply;
    std::vector<std::string> paths;
  };
  std::vector<std::string> once = {"/v/version.txt"};
  const Case cases[] = {
      {"404", HttpReply::Status(404, "2.0"), once},
      {"500", HttpReply::Status(500, "2.0"), once},
      {"redirect loop", HttpReply::Redirect("/v/version.txt"),
       std::vector<std::string>(21, "/v/version.txt")},
      {"short body", HttpReply::ShortBody("2.0\r\n", 100), once},
      {"reset mid-body", HttpReply::ResetMidBody("2.0\r\n" + std::string(100000, 'x'), 10), once},
      {"closed without answer", HttpReply::CloseAtOnce(), once},
      {"silent", HttpReply::Silent(), once},
      {"endless", HttpReply::Endless(), once},
      {"over the bound", HttpReply::Ok("2.0\n" + std::string(std::size_t{64} * 1024, 'x')), once},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.Serve("/v/version.txt", c.reply);
    std::size_t before = server.Requests().size();
    EXPECT_EQ(Run(Record("1.0")), kUpdateVersionFailed);
    auto paths = Paths();
    EXPECT_EQ(std::vector<std::string>(paths.begin() + before, paths.end()), c.paths);
    ExpectNothingChanged();
  }
}

TEST_F(UpdateThreadTest, RedirectChainsAreFollowedAcrossServers) {
  TestHttpServer mirror;
  const std::string build = Build("3.1");
  server.Serve("/v/version.txt", HttpReply::Redirect("/r1", 301));
  server.Serve("/r1", HttpReply::Redirect("/r2", 302));
  server.Serve("/r2", HttpReply::Redirect(server.Url("/real/version.txt"), 303));
  server.Serve("/real/version.txt", HttpReply::Ok("3.1"));
  server.Serve("/dl/new.exe", HttpReply::Redirect(mirror.Url("/files/build-3.1.bin"), 307));
  mirror.Serve("/files/build-3.1.bin", HttpReply::Ok(build));
  EXPECT_EQ(Run(Record("3.0")), kUpdateInstalled);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"/v/version.txt", "/r1", "/r2", "/real/version.txt",
                                               "/dl/new.exe"}));
  auto mirrored = mirror.Requests();
  ASSERT_EQ(mirrored.size(), 1u);
  EXPECT_EQ(mirrored[0].target, "/files/build-3.1.bin");
  EXPECT_EQ(mirrored[0].Header("user-agent"), "unit_tests");
  ExpectInstalled(build);
}

// What the server may send instead of a build this launcher could start: each is refused with
// 10011, deleted, and the executable stays as it was.
TEST_F(UpdateThreadTest, AnythingButTheWholePublishedBuildIsRefused) {
  const std::string good = Build("1.1");
  std::string noPicture;
  {
    auto skin = testsupport::MinimalSkin();
    skin.erase("config/main1.png");
    skin["config/cg.txt"] = "[global]\nlinkCount=1\nversion=1.1\n[link1]\ntype=4\n";
    noPicture = testsupport::PackBytes(skin);
  }
  struct Case {
    const char* name;
    HttpReply reply;
  };
  const Case cases[] = {
      {"404", HttpReply::Status(404, good)},
      {"empty", HttpReply::Ok("")},
      {"short body", HttpReply::ShortBody(good, good.size() + 1)},
      {"reset mid-body", HttpReply::ResetMidBody(good, 1000)},
      {"silent", HttpReply::Silent()},
      {"endless", HttpReply::Endless()},
      {"redirect loop", HttpReply::Redirect("/dl/new.exe", 307)},
      {"a shell script", HttpReply::Ok("#!/bin/sh\ntouch " + dir / "ran" + "\n")},
      {"cut short without a length", HttpReply::NoLength(good.substr(0, good.size() - 100))},
      {"gzip sent raw as the build", HttpReply::Ok(Gzip(good))},
      {"an encoding nobody knows", HttpReply::Ok(good).With("Content-Encoding", "x-secret")},
      {"a build without its package", HttpReply::Ok(testsupport::PlainExecutable())},
      {"a package without links",
       HttpReply::Ok(testsupport::PackBytes(
           {{"config/cg.txt", "[global]\nlinkCount=0\nversion=1.1\n"},
            {"config/main1.png", testsupport::MinimalSkin()["config/main1.png"]}}))},
      {"a package without its picture", HttpReply::Ok(noPicture)},
      {"another version than published", HttpReply::Ok(Build("1.2"))},
      {"another machine", HttpReply::Ok([&] {
         std::string other = good;
         other[18] = static_cast<char>(other[18] ^ 0x7F);  // e_machine
         return other;
       }())},
      // Slower than the low-speed limit for its whole span (shortened to 1 s here).
      {"trickling", HttpReply::Trickle(good, 200ms)},
  };
  env.timeouts.lowSpeedBytesPerSecond = 100;
  env.timeouts.lowSpeedTime = 1s;
  server.Serve("/v/version.txt", HttpReply::Ok("1.1\n"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.Serve("/dl/new.exe", c.reply);
    auto start = Clock::now();
    EXPECT_EQ(Run(Record("1.0")), kUpdateExecutableFailed);
    EXPECT_LT(Clock::now() - start, 5s);
    ExpectNothingChanged();
  }
  // A body the client decodes is the build itself.
  server.Serve("/dl/new.exe", HttpReply::Ok(Gzip(good)).With("Content-Encoding", "gzip"));
  EXPECT_EQ(Run(Record("1.0")), kUpdateInstalled);
  ExpectInstalled(good);
}

TEST_F(UpdateThreadTest, SignedUpdatesNeedTheirPublishersSignature) {
  const KeyPair publisher;
  const KeyPair stranger;
  const std::string build = Build("1.1");
  server.Serve("/v/version.txt", HttpReply::Ok("1.1\n"));
  server.Serve("/dl/new.exe", HttpReply::Ok(build));
  struct Case {
    const char* name;
    std::string key;
    std::optional<HttpReply> signature;  // none: 404
    unsigned result;
  };
  const std::string good = publisher.Sign(build);
  const Case cases[] = {
      {"good", publisher.pub, HttpReply::Ok(good), kUpdateInstalled},
      {"missing", publisher.pub, std::nullopt, kUpdateExecutableFailed},
      {"another key's", publisher.pub, HttpReply::Ok(stranger.Sign(build)),
       kUpdateExecutableFailed},
      {"over other bytes", publisher.pub, HttpReply::Ok(publisher.Sign(build + "x")),
       kUpdateExecutableFailed},
      {"truncated", publisher.pub, HttpReply::Ok(good.substr(0, 63)), kUpdateExecutableFailed},
      {"too long", publisher.pub, HttpReply::Ok(good + "x"), kUpdateExecutableFailed},
      {"a key of the wrong size", publisher.pub.substr(1), HttpReply::Ok(good),
       kUpdateExecutableFailed},
      {"an empty key", "", HttpReply::Ok(good), kUpdateExecutableFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.Serve("/dl/new.exe.sig", c.signature ? *c.signature : HttpReply::Status(404));
    EXPECT_EQ(Run(Record("1.0", "127.0.0.1", c.key)), c.result);
    if (c.result == kUpdateInstalled) {
      ExpectInstalled(build);
    } else {
      ExpectNothingChanged();
    }
  }
  // Without a key the signature is not asked for.
  std::size_t before = server.Requests().size();
  EXPECT_EQ(Run(Record("1.0")), kUpdateInstalled);
  EXPECT_EQ(server.Requests().size() - before, 2u);
  ExpectInstalled(build);
}

TEST_F(UpdateThreadTest, CancellingEndsATransferAtOnceAndInstallsNothing) {
  server.Serve("/v/version.txt", HttpReply::Ok("1.1\n"));
  server.Serve("/dl/new.exe", HttpReply::Trickle(Build("1.1"), 50ms));
  std::thread canceller([this] {
    server.WaitForRequests(2, 5s);
    std::this_thread::sleep_for(200ms);
    cancel = true;
  });
  auto start = Clock::now();
  EXPECT_EQ(UpdateThreadProc(Record("1.0"), env), 0);
  canceller.join();
  EXPECT_LT(Clock::now() - start, 3s);
  // The application is ending: nobody is told.
  EXPECT_EQ(ui::fake::RunPostedWork(), 0);
  ExpectNothingChanged();
}

TEST_F(UpdateThreadTest, ServerTextFormsAndMissingPieces) {
  server.Serve("/v/version.txt", HttpReply::Ok("1.0"));
  // The scheme in capitals is not doubled.
  EXPECT_EQ(Run(Record("1.0", "HTTP://127.0.0.1")), kUpdateUpToDate);
  // No server: nothing is asked.
  EXPECT_EQ(Run(Record("1.0", "")), kUpdateVersionFailed);
  EXPECT_EQ(server.Requests().size(), 1u);
  // Nobody listening.
  auto closed = std::make_shared<const CUpdateInfo>(owner, "1.0", "127.0.0.1", 1, "/v.txt",
                                                    "/e.exe", dir.Path());
  EXPECT_EQ(Run(closed), kUpdateVersionFailed);
  // No working directory to write to.
  auto nowhere = std::make_shared<const CUpdateInfo>(owner, "1.0", "127.0.0.1", server.Port(),
                                                     "/v/version.txt", "/e.exe", dir / "missing");
  EXPECT_EQ(Run(nowhere), kUpdateVersionFailed);
  // A version text's name taken by a planted link: the link goes, its target stays as it was.
  WriteFile(game / "victim", "precious");
  const std::string planted = dir / (std::string(kDownloadPrefix) + "-2version.txt");
  ASSERT_EQ(symlink((game / "victim").c_str(), planted.c_str()), 0);
  EXPECT_EQ(Run(Record("1.0")), kUpdateUpToDate);
  EXPECT_EQ(ReadFile(game / "victim"), "precious");
  std::filesystem::remove(game / "victim");
  ExpectNothingChanged();
}

TEST_F(UpdateThreadTest, AFolderThatCannotTakeTheNewBuildIsNotDownloadedFor) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "root may write anywhere";
  }
  server.Serve("/v/version.txt", HttpReply::Ok("1.1\n"));
  server.Serve("/dl/new.exe", HttpReply::Ok(Build("1.1")));
  std::filesystem::permissions(
      game.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  EXPECT_EQ(Run(Record("1.0")), kUpdateBatchFailed);
  std::filesystem::permissions(game.Path(), std::filesystem::perms::owner_all);
  EXPECT_EQ(server.Requests().size(), 1u);
  ExpectNothingChanged();
}

TEST_F(UpdateThreadTest, WithoutARecordNothingIsPosted) {
  EXPECT_EQ(UpdateThreadProc(nullptr, env), 0);
  EXPECT_EQ(ui::fake::RunPostedWork(), 0);
}

TEST_F(UpdateThreadTest, StartedFromThePackageTheWorkerPostsFromItsOwnThread) {
  const KeyPair publisher;
  auto skin = testsupport::MinimalSkin();
  skin["config/cg.txt"] = "[global]\nlinkCount=1\nversion=1.5\nserver=127.0.0.1\nport=" +
                          std::to_string(server.Port()) +
                          "\nversionUrl=/v.txt\nexeUrl=/e.exe\n[link1]\ntype=4\n";
  skin[kUpdateKeyEntry] = publisher.pub;
  WriteFile(game / "packed", testsupport::PackBytes(skin), 0755);
  LauncherConfig config;
  ASSERT_TRUE(config.OpenArchiveAt(game / "packed"));
  ASSERT_TRUE(config.LoadConfigFile("config/cg.txt") && config.ParseConfig());

  server.Serve("/v.txt", HttpReply::Trickle("1.5\n", 200ms));
  std::shared_ptr<const CUpdateInfo> info = StartUpdateCheck(config, owner);
  EXPECT_EQ(info->workingDirectory, std::filesystem::current_path().string());
  EXPECT_EQ(info->owner, owner);
  EXPECT_EQ(info->updateKey, publisher.pub);
  // The loop runs while the worker works, and ends with its result.
  recorder.quitsLoop = true;
  ui::fake::SetMessageLoopTimeout(10s);
  ui::RunMessageLoop();
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_EQ(recorder.messages[0].message, kUpdateUpToDate);
  EXPECT_EQ(recorder.messages[0].wParam, reinterpret_cast<std::uintptr_t>(info.get()));
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].target, "/v.txt");
}

}  // namespace
}  // namespace launcher
