#include "update/UpdateThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "ui/Platform.h"
#include "ui/fake/FakeUi.h"

namespace launcher {
namespace {

using namespace std::chrono_literals;
using testsupport::HttpReply;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::TestHttpServer;

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
    if (quitsLoop) ui::QuitMessageLoop();
  }
};

// What a hand-over saw: the download's name in the working directory and its bytes.
struct HandOver {
  std::string name;
  std::string bytes;
};

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class UpdateThreadTest : public ::testing::Test {
 protected:
  TestHttpServer server;
  TempDir dir;
  Recorder recorder;
  ui::WindowId owner = 0;
  std::optional<HandOver> handedOver;
  UpdateEnvironment env;

  void SetUp() override {
    ui::fake::Reset();
    owner = ui::RegisterTarget(&recorder);
    env.timeouts = {2000ms, 1000ms};
    env.maxExecutableBytes = 1 << 20;
    env.tickCount = [] { return 0xFFFFFFFEu; };  // prefix "-2"
    env.handOver = [this](const std::string& path) {
      ASSERT_EQ(std::filesystem::path(path).parent_path().string(), dir.Path());
      handedOver = HandOver{std::filesystem::path(path).filename().string(), ReadFile(path)};
    };
  }
  void TearDown() override { ui::UnregisterTarget(owner); }

  std::shared_ptr<const CUpdateInfo> Record(const std::string& version,
                                            const std::string& server = "127.0.0.1") {
    return std::make_shared<const CUpdateInfo>(owner, version, server, this->server.Port(),
                                               "/v/version.txt", "/dl/new.exe", dir.Path());
  }
  // Runs the worker here and returns the one result it posted.
  unsigned Run(const std::shared_ptr<const CUpdateInfo>& info) {
    EXPECT_EQ(UpdateThreadProc(info, env), 0);
    ui::fake::RunPostedWork();
    EXPECT_EQ(recorder.messages.size(), 1u);
    if (recorder.messages.size() != 1) return ~0u;
    EXPECT_EQ(recorder.messages[0].wParam, reinterpret_cast<std::uintptr_t>(info.get()));
    EXPECT_EQ(recorder.messages[0].lParam, 0);
    return recorder.messages[0].message;
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

const std::string kExe = "\177ELF new build";

TEST_F(UpdateThreadTest, VersionTextDecides) {
  struct Case {
    const char* name;
    const char* configured;
    HttpReply reply;
    unsigned result;
  };
  const Case cases[] = {
      {"same", "2.0", HttpReply::Ok("2.0\r\n"), kUpdateUpToDate},
      {"older published", "1.34", HttpReply::Ok("1.4"), kUpdateUpToDate},
      {"newer, CR LF and many lines", "1.9", HttpReply::Ok("1.10\r\n0.1\r\n9.9\r\n\r\n"),
       kUpdateBatchFailed},
      {"third field ignored", "1.34", HttpReply::Ok("1.34.9\n"), kUpdateUpToDate},
      {"empty text", "0.0", HttpReply::Ok(""), kUpdateUpToDate},
      {"words", "0.5", HttpReply::Ok("version 2\n"), kUpdateUpToDate},
      // As the text is read: a byte-order mark hides the major number.
      {"byte-order mark", "1.0", HttpReply::Ok(std::string("\xEF\xBB\xBF") + "2.0\r\n"),
       kUpdateUpToDate},
      {"at the size bound", "1.0", HttpReply::Ok("2.0\n" + std::string(64 * 1024 - 4, 'x')),
       kUpdateBatchFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder.messages.clear();
    handedOver.reset();
    server.Serve("/v/version.txt", c.reply);
    server.Serve("/dl/new.exe", HttpReply::Ok(kExe));
    std::size_t before = server.Requests().size();
    EXPECT_EQ(Run(Record(c.configured)), c.result);
    bool update = c.result == kUpdateBatchFailed;
    EXPECT_EQ(server.Requests().size() - before, update ? 2u : 1u);
    EXPECT_EQ(handedOver.has_value(), update);
    if (handedOver) {
      EXPECT_EQ(handedOver->name, "-2new.exe");
      EXPECT_EQ(handedOver->bytes, kExe);
    }
    // The version text is gone, and so is a download the replacement did not take.
    EXPECT_TRUE(FilesIn(dir.Path()).empty());
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
      {"over the bound", HttpReply::Ok("2.0\n" + std::string(64 * 1024, 'x')), once},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder.messages.clear();
    server.Serve("/v/version.txt", c.reply);
    std::size_t before = server.Requests().size();
    EXPECT_EQ(Run(Record("1.0")), kUpdateVersionFailed);
    auto paths = Paths();
    EXPECT_EQ(std::vector<std::string>(paths.begin() + before, paths.end()), c.paths);
    EXPECT_TRUE(FilesIn(dir.Path()).empty());
  }
  EXPECT_FALSE(handedOver);
}

TEST_F(UpdateThreadTest, RedirectChainsAreFollowedAcrossServers) {
  TestHttpServer mirror;
  server.Serve("/v/version.txt", HttpReply::Redirect("/r1", 301));
  server.Serve("/r1", HttpReply::Redirect("/r2", 302));
  server.Serve("/r2", HttpReply::Redirect(server.Url("/real/version.txt"), 303));
  server.Serve("/real/version.txt", HttpReply::Ok("3.1"));
  server.Serve("/dl/new.exe", HttpReply::Redirect(mirror.Url("/files/build-3.1.bin"), 307));
  mirror.Serve("/files/build-3.1.bin", HttpReply::Ok(kExe));
  EXPECT_EQ(Run(Record("3.0")), kUpdateBatchFailed);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"/v/version.txt", "/r1", "/r2", "/real/version.txt",
                                               "/dl/new.exe"}));
  auto mirrored = mirror.Requests();
  ASSERT_EQ(mirrored.size(), 1u);
  EXPECT_EQ(mirrored[0].target, "/files/build-3.1.bin");
  EXPECT_EQ(mirrored[0].Header("host"), "127.0.0.1:" + std::to_string(mirror.Port()));
  EXPECT_EQ(mirrored[0].Header("user-agent"), "unit_tests");
  ASSERT_TRUE(handedOver);
  EXPECT_EQ(handedOver->name, "-2new.exe");  // named after the configured path
  EXPECT_EQ(handedOver->bytes, kExe);
}

TEST_F(UpdateThreadTest, ExecutableTransferFailuresPost10011AndLeaveNothing) {
  struct Case {
    const char* name;
    HttpReply reply;
  };
  const Case cases[] = {
      {"404", HttpReply::Status(404, kExe)},
      {"empty", HttpReply::Ok("")},
      {"short body", HttpReply::ShortBody(kExe, kExe.size() + 1)},
      {"reset mid-body", HttpReply::ResetMidBody(kExe + std::string(100000, 'x'), 1000)},
      {"silent", HttpReply::Silent()},
      {"endless", HttpReply::Endless()},
      {"redirect loop", HttpReply::Redirect("/dl/new.exe", 307)},
  };
  server.Serve("/v/version.txt", HttpReply::Ok("1.1\n"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder.messages.clear();
    server.Serve("/dl/new.exe", c.reply);
    std::size_t before = server.Requests().size();
    EXPECT_EQ(Run(Record("1.0")), kUpdateExecutableFailed);
    auto paths = Paths();
    ASSERT_GE(paths.size(), before + 2);
    EXPECT_EQ(paths[before], "/v/version.txt");
    EXPECT_EQ(paths[before + 1], "/dl/new.exe");
    EXPECT_TRUE(FilesIn(dir.Path()).empty());
  }
  EXPECT_FALSE(handedOver);
}

TEST_F(UpdateThreadTest, ServerTextFormsAndMissingPieces) {
  server.Serve("/v/version.txt", HttpReply::Ok("1.0"));
  // The scheme in capitals is not doubled.
  EXPECT_EQ(Run(Record("1.0", "HTTP://127.0.0.1")), kUpdateUpToDate);
  recorder.messages.clear();
  // No server: nothing is asked.
  EXPECT_EQ(Run(Record("1.0", "")), kUpdateVersionFailed);
  EXPECT_EQ(server.Requests().size(), 1u);
  recorder.messages.clear();
  // Nobody listening.
  auto closed = std::make_shared<const CUpdateInfo>(owner, "1.0", "127.0.0.1", 1, "/v.txt",
                                                    "/e.exe", dir.Path());
  EXPECT_EQ(Run(closed), kUpdateVersionFailed);
  recorder.messages.clear();
  // No working directory to write to.
  auto nowhere = std::make_shared<const CUpdateInfo>(owner, "1.0", "127.0.0.1", server.Port(),
                                                     "/v/version.txt", "/e.exe", dir / "missing");
  EXPECT_EQ(Run(nowhere), kUpdateVersionFailed);
  EXPECT_TRUE(FilesIn(dir.Path()).empty());
}

TEST_F(UpdateThreadTest, WithoutARecordNothingIsPosted) {
  EXPECT_EQ(UpdateThreadProc(nullptr, env), 0);
  EXPECT_EQ(ui::fake::RunPostedWork(), 0);
}

TEST_F(UpdateThreadTest, StartedFromSettingsTheWorkerPostsFromItsOwnThread) {
  server.Serve("/v.txt", HttpReply::Trickle("1.5\n", 200ms));
  GlobalSettings settings;
  settings.server = "127.0.0.1";
  settings.port = server.Port();
  settings.version = "1.5";
  settings.versionUrl = "/v.txt";
  settings.exeUrl = "/e.exe";
  std::shared_ptr<const CUpdateInfo> info = StartUpdateCheck(settings, owner);
  EXPECT_EQ(info->workingDirectory, std::filesystem::current_path().string());
  EXPECT_EQ(info->owner, owner);
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
