// A real HTTP/1.1 server on 127.0.0.1 for tests and benchmarks, on threads of its own. It
// answers by path with replies that can misbehave on purpose, and records every request.
// Each connection carries one request and is closed after the answer.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

struct HttpReply {
  enum class Kind {
    kNormal,        // status, headers, Content-Length and the whole body
    kShortBody,     // announces declaredLength but sends only the body, then closes
    kResetMidBody,  // announces the body, sends resetAfter bytes of it, then resets the connection
    kSilent,        // reads the request and never answers (until the server stops)
    kCloseAtOnce,   // reads the request and closes without a byte
    kTrickle,       // announces the body, sends one byte every interval
    kEndless,       // no length, a body that never ends (until the client goes)
    kGenerated,     // Content-Length generatedSize, a patterned body made while sending
    kNoLength,      // the body without Content-Length, ended by closing the connection
    kPaced,         // announces the body, sends it chunkSize bytes every interval
  };
  Kind kind = Kind::kNormal;
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::uint64_t declaredLength = 0;
  std::size_t resetAfter = 0;
  std::chrono::milliseconds interval{0};
  std::uint64_t generatedSize = 0;
  std::size_t chunkSize = 0;

  static HttpReply Ok(std::string body);
  static HttpReply Status(int status, std::string body = "");
  static HttpReply Redirect(const std::string& location, int status = 302);
  static HttpReply ShortBody(std::string body, std::uint64_t declaredLength);
  static HttpReply ResetMidBody(std::string body, std::size_t resetAfter);
  static HttpReply Silent();
  static HttpReply CloseAtOnce();
  static HttpReply Trickle(std::string body, std::chrono::milliseconds interval);
  static HttpReply Endless();
  static HttpReply Generated(std::uint64_t size);
  static HttpReply NoLength(std::string body);
  static HttpReply Paced(std::string body, std::size_t chunkSize,
                         std::chrono::milliseconds interval);
  // Adds a header line to the reply.
  HttpReply With(const std::string& name, const std::string& value) &&;
};

// The byte at offset i of a kGenerated body.
char GeneratedByte(std::uint64_t offset);

struct HttpRequestRecord {
  std::string method;
  std::string target;                          // as in the request line
  std::map<std::string, std::string> headers;  // names in lower case
  int serverPort = 0;                          // the port of the server that saw it
  std::string Header(const std::string& lowerName) const;
};

// Clears the proxy variables of the environment and exempts the loopback addresses, so that
// transfers in tests never leave the machine. The server's constructor calls it.
void KeepHttpOnLoopback();

class TestHttpServer {
 public:
  // Listens on 127.0.0.1 at a free port. Paths without a reply get 404.
  TestHttpServer();
  // Stops: closes every connection (silent and trickling ones too) and joins all threads.
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  int Port() const { return port_; }
  // "http://127.0.0.1:port" + path.
  std::string Url(const std::string& path) const;

  // Any thread. Replaces the reply of a path (the request target without its query).
  void Serve(const std::string& path, HttpReply reply);

  // Any thread. The requests seen so far, in order of arrival.
  std::vector<HttpRequestRecord> Requests() const;
  // Waits until at least count requests were seen; false on time-out.
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

 private:
  struct Connection;
  void AcceptLoop();
  void Handle(Connection* connection);
  bool Answer(int fd, const HttpReply& reply);
  bool Stopping() const;

  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};
  int port_ = 0;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  std::map<std::string, HttpReply> replies_;
  std::vector<HttpRequestRecord> requests_;
  std::vector<std::unique_ptr<Connection>> connections_;
  std::thread acceptor_;
};

}  // namespace testsupport
