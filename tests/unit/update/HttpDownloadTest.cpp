#include "update/HttpDownload.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

namespace launcher {
namespace {

using namespace std::chrono_literals;
using testsupport::FileExists;
using testsupport::HttpReply;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::TestHttpServer;
using Clock = std::chrono::steady_clock;

class HttpDownloadTest : public ::testing::Test {
 protected:
  TestHttpServer server;
  TempDir dir;
  std::string target = dir / "file";

  struct Outcome {
    bool ok;
    std::chrono::milliseconds took;
    std::string error;
  };
  Outcome Fetch(const std::string& url, HttpTimeouts timeouts = {}, HttpBodyLimits limits = {}) {
    CHttpDownload download;
    download.SetUrlAndTarget(url, target);
    download.SetTimeouts(timeouts);
    download.SetBodyLimits(limits);
    auto start = Clock::now();
    bool ok = download.Download();
    return {ok, std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start),
            download.LastError()};
  }
};

TEST_F(HttpDownloadTest, AsksTheServerItselfAsTheApplication) {
  server.Serve("/f", HttpReply::Ok("body"));
  CHttpDownload download;
  download.SetUrlAndTarget(server.Url("/f?x=1"), target);
  ASSERT_TRUE(download.Download()) << download.LastError();
  EXPECT_EQ(ReadFile(target), "body");
  // A completed object does not ask again.
  testsupport::WriteFile(target, "changed");
  EXPECT_TRUE(download.Download());
  EXPECT_EQ(ReadFile(target), "changed");

  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/f?x=1");
  EXPECT_EQ(requests[0].Header("host"), "127.0.0.1:" + std::to_string(server.Port()));
  EXPECT_EQ(requests[0].Header("user-agent"), "unit_tests");
  EXPECT_EQ(requests[0].Header("cache-control"), "no-cache");
  EXPECT_EQ(requests[0].Header("pragma"), "no-cache");
}

TEST_F(HttpDownloadTest, ABodyThatKeepsComingIsNotCutByTheStallLimit) {
  // A byte every 2 s against a stall limit of 3 s: slower than a byte a second on average, and
  // longer in all than the limit (the low-speed limit looks at a whole minute).
  server.Serve("/slow", HttpReply::Trickle("2.0", 2000ms));
  Outcome o = Fetch(server.Url("/slow"), {2000ms, 3000ms});
  ASSERT_TRUE(o.ok) << o.error;
  EXPECT_EQ(ReadFile(target), "2.0");
  EXPECT_GT(o.took, 3000ms);
}

TEST_F(HttpDownloadTest, NoProgressForTheStallLimitFails) {
  struct Case {
    const char* name;
    HttpReply reply;
  };
  const Case cases[] = {
      {"answer never comes", HttpReply::Silent()},
      {"body stops", HttpReply::Trickle("12345678", 5000ms)},
  };
  for (const Case& c : cases) {
    server.Serve("/s", c.reply);
    Outcome o = Fetch(server.Url("/s"), {2000ms, 1000ms});
    EXPECT_FALSE(o.ok) << c.name;
    EXPECT_GE(o.took, 1000ms) << c.name;
    EXPECT_LT(o.took, 4000ms) << c.name;
    EXPECT_FALSE(FileExists(target)) << c.name;
  }
}

TEST_F(HttpDownloadTest, AConnectionNeverAcceptedEndsAtTheConnectLimit) {
  // A listener whose queue is full: the system drops further connection attempts unanswered.
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 0), 0);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(fd, 0);
    fillers.push_back(fd);
    // Queued at once, or left waiting once the queue is full.
    const int connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ASSERT_TRUE(connected == 0 || errno == EINPROGRESS || errno == EAGAIN) << std::strerror(errno);
  }
  Outcome o = Fetch("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x",
                    {1000ms, 60000ms});
  EXPECT_FALSE(o.ok);
  EXPECT_GE(o.took, 900ms);
  EXPECT_LT(o.took, 5000ms) << o.error;
  EXPECT_FALSE(FileExists(target));
  for (int fd : fillers) {
    close(fd);
  }
  close(listener);
}

TEST_F(HttpDownloadTest, AnHttpsTransferIsNeverRedirectedToPlainHttp) {
  // Checked at the option the client is given: the tests have no TLS server.
  EXPECT_STREQ(RedirectProtocolsFor("https://updates.example/v.txt"), "https");
  EXPECT_STREQ(RedirectProtocolsFor("HTTPS://updates.example/v.txt"), "https");
  EXPECT_STREQ(RedirectProtocolsFor("http://updates.example/v.txt"), "http,https");
}

TEST_F(HttpDownloadTest, APlantedLinkAtTheTargetIsReplacedNotFollowed) {
  testsupport::WriteFile(dir / "victim", "precious");
  ASSERT_EQ(symlink((dir / "victim").c_str(), target.c_str()), 0);
  server.Serve("/f", HttpReply::Ok("body"));
  Outcome o = Fetch(server.Url("/f"));
  ASSERT_TRUE(o.ok) << o.error;
  EXPECT_EQ(ReadFile(target), "body");
  EXPECT_EQ(ReadFile(dir / "victim"), "precious");
}

TEST_F(HttpDownloadTest, ATargetThatCannotBeCreatedFailsBeforeAsking) {
  server.Serve("/f", HttpReply::Ok("body"));
  CHttpDownload download;
  download.SetUrlAndTarget(server.Url("/f"), dir / "missing/file");
  EXPECT_FALSE(download.Download());
  EXPECT_FALSE(download.IsCompleted());
  EXPECT_TRUE(server.Requests().empty());
}

}  // namespace
}  // namespace launcher
