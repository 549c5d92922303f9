#include "support/TestHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace testsupport {
namespace {

constexpr std::size_t kMaxRequestHead = std::size_t{64} * 1024;
constexpr std::size_t kPatternPeriod = 65521;  // prime: the pattern never lines up with blocks

const std::array<char, 2 * kPatternPeriod>& Pattern() {
  static const auto pattern = [] {
    std::array<char, 2 * kPatternPeriod> bytes{};
    std::uint32_t state = 2463534242u;
    for (std::size_t i = 0; i < kPatternPeriod; ++i) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      bytes[i] = bytes[i + kPatternPeriod] = static_cast<char>(state >> 24);
    }
    return bytes;
  }();
  return pattern;
}

const char* StatusText(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 204:
      return "No Content";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 307:
      return "Temporary Redirect";
    case 308:
      return "Permanent Redirect";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

std::string Lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

std::string Trim(const std::string& text) {
  std::size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) {
    return {};
  }
  std::size_t e = text.find_last_not_of(" \t\r");
  return text.substr(b, e - b + 1);
}

}  // namespace

HttpReply HttpReply::Ok(std::string body) {
  HttpReply r;
  r.body = std::move(body);
  return r;
}

HttpReply HttpReply::Status(int status, std::string body) {
  HttpReply r;
  r.status = status;
  r.body = std::move(body);
  return r;
}

HttpReply HttpReply::Redirect(const std::string& location, int status) {
  HttpReply r;
  r.status = status;
  r.headers.emplace_back("Location", location);
  r.body = "moved";
  return r;
}

HttpReply HttpReply::ShortBody(std::string body, std::uint64_t declaredLength) {
  HttpReply r;
  r.kind = Kind::kShortBody;
  r.body = std::move(body);
  r.declaredLength = declaredLength;
  return r;
}

HttpReply HttpReply::ResetMidBody(std::string body, std::size_t resetAfter) {
  HttpReply r;
  r.kind = Kind::kResetMidBody;
  r.body = std::move(body);
  r.resetAfter = resetAfter;
  return r;
}

HttpReply HttpReply::Silent() {
  HttpReply r;
  r.kind = Kind::kSilent;
  return r;
}

HttpReply HttpReply::CloseAtOnce() {
  HttpReply r;
  r.kind = Kind::kCloseAtOnce;
  return r;
}

HttpReply HttpReply::Trickle(std::string body, std::chrono::milliseconds interval) {
  HttpReply r;
  r.kind = Kind::kTrickle;
  r.body = std::move(body);
  r.interval = interval;
  return r;
}

HttpReply HttpReply::Endless() {
  HttpReply r;
  r.kind = Kind::kEndless;
  return r;
}

HttpReply HttpReply::Generated(std::uint64_t size) {
  HttpReply r;
  r.kind = Kind::kGenerated;
  r.generatedSize = size;
  return r;
}

HttpReply HttpReply::NoLength(std::string body) {
  HttpReply r;
  r.kind = Kind::kNoLength;
  r.body = std::move(body);
  return r;
}

HttpReply HttpReply::Paced(std::string body, std::size_t chunkSize,
                           std::chrono::milliseconds interval) {
  HttpReply r;
  r.kind = Kind::kPaced;
  r.body = std::move(body);
  r.chunkSize = std::max<std::size_t>(chunkSize, 1);
  r.interval = interval;
  return r;
}

HttpReply HttpReply::With(const std::string& name, const std::string& value) && {
  headers.emplace_back(name, value);
  return std::move(*this);
}

char GeneratedByte(std::uint64_t offset) { return Pattern()[offset % kPatternPeriod]; }

std::string HttpRequestRecord::Header(const std::string& lowerName) const {
  auto it = headers.find(lowerName);
  return it == headers.end() ? std::string() : it->second;
}

struct TestHttpServer::Connection {
  int fd = -1;  // guarded by the server's mutex; -1 once closed
  std::thread thread;
};

void KeepHttpOnLoopback() {
  for (const char* name :
       {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
    unsetenv(name);
  }
  setenv("no_proxy", "127.0.0.1,localhost,::1", 1);
  setenv("NO_PROXY", "127.0.0.1,localhost,::1", 1);
}

TestHttpServer::TestHttpServer(int port) {
  KeepHttpOnLoopback();
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) {
    throw std::runtime_error("socket failed");
  }
  int one = 1;
  setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listenFd_, 64) != 0) {
    close(listenFd_);
    throw std::runtime_error("bind or listen failed");
  }
  socklen_t length = sizeof address;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  if (pipe2(wakeFds_, O_CLOEXEC) != 0) {
    close(listenFd_);
    throw std::runtime_error("pipe failed");
  }
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

TestHttpServer::~TestHttpServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (auto& c : connections_) {
      if (c->fd >= 0) {
        shutdown(c->fd, SHUT_RDWR);  // ends blocked reads and sends
      }
    }
  }
  // The byte is never read: every later poll on the pipe returns at once.
  [[maybe_unused]] ssize_t ignored = write(wakeFds_[1], "x", 1);
  changed_.notify_all();
  acceptor_.join();
  for (auto& c : connections_) {
    c->thread.join();
  }
  close(listenFd_);
  close(wakeFds_[0]);
  close(wakeFds_[1]);
}

std::string TestHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void TestHttpServer::Serve(const std::string& path, HttpReply reply) {
  std::lock_guard lock(mutex_);
  replies_[path] = std::move(reply);
}

std::vector<HttpRequestRecord> TestHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool TestHttpServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

bool TestHttpServer::Stopping() const {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void TestHttpServer::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      continue;
    }
    if (fds[1].revents != 0) {
      return;
    }
    if ((fds[0].revents & POLLIN) == 0) {
      continue;
    }
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      continue;
    }
    std::lock_guard lock(mutex_);
    if (stopping_) {
      close(fd);
      return;
    }
    auto connection = std::make_unique<Connection>();
    connection->fd = fd;
    Connection* raw = connection.get();
    connections_.push_back(std::move(connection));
    raw->thread = std::thread([this, raw] { Handle(raw); });
  }
}

void TestHttpServer::Handle(Connection* connection) {
  int fd = connection->fd;  // only this thread closes it
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestHead) {
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      break;
    }
    head.append(buffer, static_cast<std::size_t>(n));
  }
  std::size_t end = head.find("\r\n\r\n");
  if (end != std::string::npos) {
    HttpRequestRecord record;
    record.serverPort = port_;
    std::size_t lineEnd = head.find("\r\n");
    std::string requestLine = head.substr(0, lineEnd);
    std::size_t sp1 = requestLine.find(' ');
    std::size_t sp2 = requestLine.rfind(' ');
    if (sp1 != std::string::npos && sp2 > sp1) {
      record.method = requestLine.substr(0, sp1);
      record.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    }
    for (std::size_t pos = lineEnd + 2; pos < end;) {
      std::size_t next = head.find("\r\n", pos);
      std::string line = head.substr(pos, next - pos);
      std::size_t colon = line.find(':');
      if (colon != std::string::npos) {
        record.headers[Lower(Trim(line.substr(0, colon)))] = Trim(line.substr(colon + 1));
      }
      pos = next + 2;
    }
    std::string path = record.target.substr(0, record.target.find('?'));
    HttpReply reply = HttpReply::Status(404, "not found");
    {
      std::lock_guard lock(mutex_);
      auto it = replies_.find(path);
      if (it != replies_.end()) {
        reply = it->second;
      }
      requests_.push_back(std::move(record));
    }
    changed_.notify_all();
    if (!Answer(fd, reply)) {
      // A reset: no lingering, the peer sees the connection torn.
      linger hard{1, 0};
      setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
  }
  std::lock_guard lock(mutex_);
  close(fd);
  connection->fd = -1;
}

// Sends the reply; false when the connection is to be reset rather than closed.
bool TestHttpServer::Answer(int fd, const HttpReply& reply) {
  auto sendAll = [fd](const char* data, std::size_t size) {
    while (size > 0) {
      ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
      if (n <= 0) {
        return false;
      }
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  };
  // Sleeps that end early when the server stops; false then.
  auto pause = [this](std::chrono::milliseconds duration) {
    pollfd wake{wakeFds_[0], POLLIN, 0};
    return poll(&wake, 1, static_cast<int>(duration.count())) == 0;
  };
  using Kind = HttpReply::Kind;

  if (reply.kind == Kind::kSilent) {
    while (pause(std::chrono::milliseconds(1000))) {
    }
    return true;
  }
  if (reply.kind == Kind::kCloseAtOnce) {
    return true;
  }

  std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + StatusText(reply.status) +
                     "\r\nConnection: close\r\n";
  for (const auto& [name, value] : reply.headers) {
    head.append(name).append(": ").append(value).append("\r\n");
  }
  switch (reply.kind) {
    case Kind::kShortBody:
      head += "Content-Length: " + std::to_string(reply.declaredLength) + "\r\n";
      break;
    case Kind::kEndless:
    case Kind::kNoLength:
      break;
    case Kind::kGenerated:
      head += "Content-Length: " + std::to_string(reply.generatedSize) + "\r\n";
      break;
    default:
      head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
      break;
  }
  head += "\r\n";
  if (!sendAll(head.data(), head.size())) {
    return true;
  }

  switch (reply.kind) {
    case Kind::kResetMidBody: {
      std::size_t part = std::min(reply.resetAfter, reply.body.size());
      sendAll(reply.body.data(), part);
      pause(std::chrono::milliseconds(100));  // lets the part arrive before the reset
      return false;
    }
    case Kind::kPaced:
      for (std::size_t at = 0; at < reply.body.size(); at += reply.chunkSize) {
        std::size_t size = std::min(reply.chunkSize, reply.body.size() - at);
        if (!sendAll(reply.body.data() + at, size) || !pause(reply.interval)) {
          break;
        }
      }
      return true;
    case Kind::kTrickle:
      for (char c : reply.body) {
        if (!sendAll(&c, 1) || !pause(reply.interval)) {
          break;
        }
      }
      return true;
    case Kind::kEndless: {
      const auto& pattern = Pattern();
      while (!Stopping() && sendAll(pattern.data(), kPatternPeriod)) {
      }
      return true;
    }
    case Kind::kGenerated: {
      const auto& pattern = Pattern();
      for (std::uint64_t offset = 0; offset < reply.generatedSize;) {
        std::size_t start = offset % kPatternPeriod;
        std::size_t size = static_cast<std::size_t>(
            std::min<std::uint64_t>(kPatternPeriod, reply.generatedSize - offset));
        if (!sendAll(pattern.data() + start, size)) {
          break;
        }
        offset += size;
      }
      return true;
    }
    default:
      sendAll(reply.body.data(), reply.body.size());
      return true;
  }
}

}  // namespace testsupport
