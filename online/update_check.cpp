#include "online/update_check.h"

#include "base/product.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace trovabild {

static_assert(kBuildNumber == kVersion, "the update check compares with the program's own version");

namespace {

using Clock = std::chrono::steady_clock;

struct UrlParts {
  std::string host;
  std::string port = "80";
  std::string path = "/";
};

// The scheme is dropped; the site part is host[:port]; everything from the
// first "/" after it is the path.
UrlParts splitUrl(const std::string& url) {
  UrlParts parts;
  std::string rest = url;
  if (auto scheme = rest.find("://"); scheme != std::string::npos) rest = rest.substr(scheme + 3);
  auto slash = rest.find('/');
  std::string site = rest.substr(0, slash);
  if (slash != std::string::npos) parts.path = rest.substr(slash);
  if (auto at = site.rfind('@'); at != std::string::npos) site = site.substr(at + 1);
  if (auto colon = site.rfind(':'); colon != std::string::npos && site.find(']', colon) == std::string::npos) {
    std::string port = site.substr(colon + 1);
    if (!port.empty()) parts.port = port;
    site = site.substr(0, colon);
  }
  if (site.size() >= 2 && site.front() == '[' && site.back() == ']') site = site.substr(1, site.size() - 2);
  parts.host = site;
  return parts;
}

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

int remainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// A non-blocking connect bounded by the exchange's deadline, so an
// unreachable host cannot hold the window longer than a silent server would.
// The socket stays non-blocking: every later step waits with poll.
int connectTo(const UrlParts& parts, Clock::time_point deadline) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (parts.host.empty() || getaddrinfo(parts.host.c_str(), parts.port.c_str(), &hints, &found) != 0) return -1;
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, &freeaddrinfo);
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) continue;
    bool connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    if (!connected && errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      int error = 0;
      socklen_t length = sizeof error;
      connected = poll(&p, 1, remainingMs(deadline)) == 1 &&
                  getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    if (connected) return fd;
    ::close(fd);
  }
  return -1;
}

bool sendAll(int fd, const std::string& data, Clock::time_point deadline) {
  size_t sent = 0;
  pollfd p{fd, POLLOUT, 0};
  while (sent < data.size()) {
    ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (poll(&p, 1, remainingMs(deadline)) != 1) return false;
      continue;
    }
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Reads into the buffer until the peer closes, a read fails, the buffer is
// full or the deadline passes; the answer is what came until then. The deadline holds for the whole answer: a
// server that trickles its bytes cannot stretch the wait.
size_t receive(int fd, char* buffer, size_t size, Clock::time_point deadline) {
  pollfd p{fd, POLLIN, 0};
  size_t filled = 0;
  while (filled < size) {
    const int left = remainingMs(deadline);
    if (left <= 0) break;  // out of time: what came is all there is
    const int ready = poll(&p, 1, left);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    const ssize_t n = ::recv(fd, buffer + filled, size - filled, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n < 0) return filled;
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  return filled;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Only an answer whose status line reports 200 carries the data file; an
// error page's body must not be taken for a build number.
bool statusIsOk(const std::string& response) {
  auto lineEnd = response.find("\r\n");
  std::string line = response.substr(0, lineEnd);
  if (line.rfind("HTTP/", 0) != 0) return false;
  auto space = line.find(' ');
  if (space == std::string::npos) return false;
  std::string rest = line.substr(space + 1);
  return rest.rfind("200", 0) == 0 && (rest.size() == 3 || rest[3] == ' ');
}

}  // namespace

std::string updateDataUrl() {
  if (const char* url = std::getenv("TROVABILD_UPDATE_URL")) return url;
  return kUpdateDataUrl;
}

std::string HttpGetText(const std::string& url, const std::string& userAgent, int waitMs) {
  if (url.empty()) return "";
  UrlParts parts = splitUrl(url);
  // One deadline for the whole exchange: connecting, sending and receiving.
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kHttpBufferSize + 1]);
  if (!buffer) return "";
  Socket socket(connectTo(parts, deadline));
  if (socket.fd() < 0) return "";
  std::string request = "GET " + parts.path + " HTTP/1.0\r\n" + "Host: " + parts.host + "\r\n" +
                        "Accept: */*\r\n" + "User-Agent: " + userAgent + "\r\n" + "Connection: close\r\n\r\n";
  if (!sendAll(socket.fd(), request, deadline)) return "";
  size_t length = receive(socket.fd(), buffer.get(), kHttpBufferSize, deadline);
  buffer[length] = '\0';
  std::string response(buffer.get());  // up to the first zero byte
  if (!statusIsOk(response)) return "";
  auto headerEnd = response.find("\r\n\r\n");
  if (headerEnd == std::string::npos) return "";
  std::string body = response.substr(headerEnd + 4);
  body = body.substr(0, body.find("\r\n\r\n"));
  size_t first = 0;
  while (first < body.size() && isBlank(body[first])) ++first;
  size_t last = body.size();
  while (last > first && isBlank(body[last - 1])) --last;
  return body.substr(first, std::min<size_t>(3, last - first));
}

UpdateStatus fetchUpdateStatus(int waitMs) {
  std::string text = HttpGetText(updateDataUrl(), titleText(), waitMs);
  int newest = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    newest = newest * 10 + (c - '0');
  }
  if (newest <= 0) return UpdateStatus::connectionProblem;
  return newest > kBuildNumber ? UpdateStatus::newVersion : UpdateStatus::upToDate;
}

int updateIntervalDays(int updateRange) {
  switch (updateRange) {
    case 0: return 1;
    case 1: return 7;
    case 3: return 90;
    case 4: return 180;
    case 5: return 0;
    default: return 30;
  }
}

bool updateCheckDue(int updateRange, int32_t updateDate, int32_t now) {
  if (updateRange == 5) return false;
  int64_t next = static_cast<int64_t>(updateDate) + int64_t{86400} * updateIntervalDays(updateRange);
  return static_cast<int64_t>(now) > next;
}

}  // namespace trovabild
