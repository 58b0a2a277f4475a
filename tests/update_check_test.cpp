#include "online/update_check.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/product.h"

namespace trovabild {
namespace {

// A one-connection HTTP server on 127.0.0.1: it records the request, then
// sends the scripted pieces (pausing between them) and closes. With no
// pieces it stays silent until the client gives up.
class FakeServer {
 public:
  explicit FakeServer(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 1);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~FakeServer() {
    if (thread_.joinable()) thread_.join();
    close(listener_);
  }
  std::string url(const std::string& path = "/files/trovabild.dat") const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  /// The request as received; valid once the client has finished.
  const std::string& request() {
    if (thread_.joinable()) thread_.join();
    return request_;
  }

 private:
  void serve() {
    int client = accept(listener_, nullptr, nullptr);
    if (client < 0) return;
    char chunk[512];
    while (request_.find("\r\n\r\n") == std::string::npos) {
      ssize_t n = recv(client, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      request_.append(chunk, static_cast<size_t>(n));
    }
    for (size_t i = 0; i < pieces_.size(); ++i) {
      if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(60));
      send(client, pieces_[i].data(), pieces_[i].size(), MSG_NOSIGNAL);
    }
    if (pieces_.empty()) {
      pollfd p{client, POLLIN, 0};
      poll(&p, 1, 5000);  // until the client closes its end
    }
    close(client);
  }

  std::vector<std::string> pieces_;
  int listener_ = -1;
  int port_ = 0;
  std::string request_;
  std::thread thread_;
};

std::string okAnswer(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body;
}

TEST(UpdateCheck, SendsExactlyTheRequestLines) {
  FakeServer server({okAnswer("291")});
  HttpGetText(server.url(), "Trovabild 2.9", 2000);
  EXPECT_EQ(server.request(),
            "GET /files/trovabild.dat HTTP/1.0\r\n"
            "Host: 127.0.0.1\r\n"
            "Accept: */*\r\n"
            "User-Agent: Trovabild 2.9\r\n"
            "Connection: close\r\n"
            "\r\n");
}

struct AnswerCase {
  const char* name;
  std::vector<std::string> pieces;
  const char* text;
  UpdateStatus status;
};

TEST(UpdateCheck, ReadsTheBuildNumberFromTheAnswer) {
  std::string longHeader = "HTTP/1.0 200 OK\r\nX-Padding: ";
  // The body "2915" then starts two bytes before the end of the buffer.
  longHeader += std::string(kHttpBufferSize - 2 - longHeader.size() - 4, 'x') + "\r\n\r\n";
  const AnswerCase cases[] = {
      {"newer build", {okAnswer("291")}, "291", UpdateStatus::newVersion},
      {"same build", {okAnswer("290")}, "290", UpdateStatus::upToDate},
      {"older build", {okAnswer("100\r\n")}, "100", UpdateStatus::upToDate},
      {"blanks around", {okAnswer(" 291 ")}, "291", UpdateStatus::newVersion},
      {"four digits", {okAnswer("2905")}, "290", UpdateStatus::upToDate},
      {"text after a blank line", {okAnswer("291\r\n\r\nnotes")}, "291", UpdateStatus::newVersion},
      {"arrives in pieces", {"HTTP/1.0 200 OK\r\n", "Server: x\r\n\r\n", "291"}, "291", UpdateStatus::newVersion},
      {"cut at the buffer size", {longHeader + "2915"}, "29", UpdateStatus::upToDate},
      {"zero build", {okAnswer("000")}, "000", UpdateStatus::connectionProblem},
      {"not a number", {okAnswer("<html>")}, "<ht", UpdateStatus::connectionProblem},
      {"empty body", {okAnswer("")}, "", UpdateStatus::connectionProblem},
      {"not found", {"HTTP/1.0 404 Not Found\r\n\r\n999"}, "", UpdateStatus::connectionProblem},
      {"server error", {"HTTP/1.1 500 Internal Server Error\r\n\r\n291"}, "", UpdateStatus::connectionProblem},
      {"status 2000", {"HTTP/1.0 2000 Odd\r\n\r\n291"}, "", UpdateStatus::connectionProblem},
      {"no status line", {"291"}, "", UpdateStatus::connectionProblem},
      {"closed without answer", {""}, "", UpdateStatus::connectionProblem},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    {
      FakeServer server(c.pieces);
      EXPECT_EQ(HttpGetText(server.url(), "Trovabild 2.9", 2000), c.text);
    }
    {
      FakeServer server(c.pieces);
      setenv("TROVABILD_UPDATE_URL", server.url().c_str(), 1);
      EXPECT_EQ(fetchUpdateStatus(2000), c.status);
      unsetenv("TROVABILD_UPDATE_URL");
    }
  }
}

TEST(UpdateCheck, GivesUpWhenTheServerStaysSilent) {
  FakeServer server({});
  EXPECT_EQ(HttpGetText(server.url(), "Trovabild 2.9", 150), "");
}

// A server that trickles its answer a few bytes at a time cannot stretch the
// wait: the deadline holds for the whole exchange, not for each read.
TEST(UpdateCheck, GivesUpWhenTheServerTricklesPastTheDeadline) {
  std::vector<std::string> pieces = {"HTTP/1.0 200 OK\r\n"};
  for (int i = 0; i < 40; ++i) pieces.push_back("X: " + std::to_string(i) + "\r\n");
  pieces.push_back("\r\n291");
  FakeServer server(pieces);  // 60 ms between pieces: 2.4 s in all
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(HttpGetText(server.url(), "Trovabild 2.9", 500), "");
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(450));
  EXPECT_LT(waited, std::chrono::milliseconds(1200));
}

TEST(UpdateCheck, FailsWithoutAServer) {
  EXPECT_EQ(HttpGetText("", "Trovabild 2.9"), "");
  int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/files/trovabild.dat";
  close(probe);  // nothing listens on that port now
  EXPECT_EQ(HttpGetText(url, "Trovabild 2.9", 500), "");
}

TEST(UpdateCheck, UsesTheEnvironmentUrlWhenSet) {
  unsetenv("TROVABILD_UPDATE_URL");
  EXPECT_EQ(updateDataUrl(), kUpdateDataUrl);
  EXPECT_NE(updateDataUrl().find("/files/trovabild.dat"), std::string::npos);
  setenv("TROVABILD_UPDATE_URL", "http://127.0.0.1:9/x", 1);
  EXPECT_EQ(updateDataUrl(), "http://127.0.0.1:9/x");
  unsetenv("TROVABILD_UPDATE_URL");
}

struct IntervalCase {
  int range;
  int32_t elapsed;
  bool due;
};

TEST(UpdateCheck, AsksOnlyAfterTheIntervalHasPassed) {
  constexpr int32_t kDay = 86400;
  const IntervalCase cases[] = {
      {1, 7 * kDay, false},      {1, 7 * kDay + 1, true},     {0, kDay, false},
      {0, kDay + 1, true},       {2, 30 * kDay, false},       {2, 30 * kDay + 1, true},
      {3, 90 * kDay + 1, true},  {3, 90 * kDay, false},       {4, 180 * kDay + 1, true},
      {4, 180 * kDay, false},    {5, 3650 * kDay, false},     {9, 30 * kDay + 1, true},
      {1, -kDay, false},
  };
  const int32_t updateDate = 1700000000;
  for (const auto& c : cases) {
    SCOPED_TRACE("range " + std::to_string(c.range) + " elapsed " + std::to_string(c.elapsed));
    EXPECT_EQ(updateCheckDue(c.range, updateDate, updateDate + c.elapsed), c.due);
  }
}

}  // namespace
}  // namespace trovabild
