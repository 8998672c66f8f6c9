// The socket layer against loopback servers: counts and results of single
// sends and receives, the peer's close, the shutdown drain, kinds, name
// lookups, error texts and the time-out.
#include <string.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "socket-sys.h"
#include "socket-test-server.h"
#include "socket.h"
#include "test-support.h"
#include "vantor-core.h"

namespace {

const uint8_t kLoopback[4] = {127, 0, 0, 1};

class SocketTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(1, SocketInit()); }
  void TearDown() override {
    if (socket_ != NULL) SocketClose(&socket_);
    SocketSetTimeout(SOCKET_TIMEOUT_DEFAULT);
    EXPECT_EQ(1, SocketRemove());
  }
  // Opens a TCP socket and connects it to the server's port.
  void Connect(const TestServer &server) {
    ASSERT_EQ(1, SocketOpen(&socket_, SOCKET_TCP));
    ASSERT_EQ(1, SocketConnect(socket_, kLoopback, server.Port())) << SocketErrorText();
  }
  std::string ReceiveOnce(int size, int *result) {
    std::vector<char> buffer((size_t)size + 1, '#');
    int received = -1;
    *result = SocketReceive(socket_, buffer.data(), size, &received);
    EXPECT_GE(received, 0);
    return std::string(buffer.data(), (size_t)(received > 0 ? received : 0));
  }
  Socket *socket_ = NULL;
};

TEST_F(SocketTest, OpenEveryKindAndClose) {
  MemoryCounters before, during, after;
  MemoryGetCounters(&before);
  for (int kind : {SOCKET_TCP, SOCKET_UDP, SOCKET_DGRAM}) {
    Socket *s = NULL;
    ASSERT_EQ(1, SocketOpen(&s, kind)) << kind;
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(kind, s->kind);
    EXPECT_EQ(0u, s->reserved);
    EXPECT_NE(SOCKET_INVALID_HANDLE, s->handle);
    MemoryGetCounters(&during);
    EXPECT_EQ(before.count + 1, during.count);
    EXPECT_EQ(1, SocketClose(&s));
    EXPECT_EQ(nullptr, s);
  }
  MemoryGetCounters(&after);
  EXPECT_EQ(before.count, after.count);
  EXPECT_EQ(before.bytes, after.bytes);
}

TEST_F(SocketTest, UnknownKindLogsAndLeavesPointer) {
  std::string log = TestStartLog(DEBUG_FILE);
  MemoryCounters before, after;
  MemoryGetCounters(&before);
  Socket sentinel;
  for (int kind : {1, 5}) {
    Socket *s = &sentinel;
    EXPECT_EQ(0, SocketOpen(&s, kind));
    EXPECT_EQ(&sentinel, s);
  }
  MemoryGetCounters(&after);
  TestStopLog();
  EXPECT_EQ(before.count, after.count);
  EXPECT_EQ("Unknown socket protocol '1'\r\nUnknown socket protocol '5'\r\n", TestReadFile(log));
  TestRemoveFile(log);
}

TEST_F(SocketTest, NullRecordsAnswerZero) {
  Socket *none = NULL;
  EXPECT_EQ(1, SocketClose(&none));
  EXPECT_EQ(nullptr, none);
  char buffer[8];
  int count = 7;
  EXPECT_EQ(0, SocketSend(NULL, "abc", 3, &count));
  EXPECT_EQ(0, count);
  count = 7;
  EXPECT_EQ(0, SocketReceive(NULL, buffer, sizeof buffer, &count));
  EXPECT_EQ(0, count);
  EXPECT_EQ(0, SocketShutdown(NULL));
}

TEST_F(SocketTest, ReceiveDeliversWhatOneReceiveGetsThenPeerClose) {
  TestServer server([](TestPeer &peer) {
    peer.Send("220 first part");
    TestSleep(300);
    peer.Send(" and the rest\r\n");
    TestSleep(300);
  });
  Connect(server);
  int result = -1;
  EXPECT_EQ("220 first part", ReceiveOnce(319, &result));  // part of the reply only
  EXPECT_EQ(1, result);
  EXPECT_EQ(" an", ReceiveOnce(3, &result));  // never more than the size
  EXPECT_EQ(1, result);
  EXPECT_EQ("d the rest\r\n", ReceiveOnce(319, &result));
  EXPECT_EQ(1, result);
  EXPECT_EQ("", ReceiveOnce(319, &result));  // the server has closed
  EXPECT_EQ(0, result);
}

TEST_F(SocketTest, PeerClosingAtOnceGivesZero) {
  TestServer server([](TestPeer &peer) { peer.Close(); });
  Connect(server);
  server.Join();
  int result = -1;
  EXPECT_EQ("", ReceiveOnce(64, &result));
  EXPECT_EQ(0, result);
}

TEST_F(SocketTest, SendReportsWhatTheSystemTookAndTimesOut) {
  // The server reads nothing until the client ends its side, so the system's
  // buffers fill: a large send is taken only in part, and once they are full
  // a send waits for the time-out and fails.
  std::atomic<long long> serverTotal(-1);
  std::atomic<bool> read(false);
  TestServer server([&serverTotal, &read](TestPeer &peer) {
    while (!read) TestSleep(10);
    serverTotal = peer.CountToEnd();
  });
  Connect(server);
  SocketSetTimeout(300);
  std::string block(16 * 1024 * 1024, 'x');
  long long total = 0;
  bool partial = false, timedOut = false;
  for (int i = 0; i < 200 && !timedOut; i++) {
    int sent = -1;
    int result = SocketSend(socket_, block.data(), (int)block.size(), &sent);
    if (result == 0) {
      EXPECT_EQ(0, sent);
      EXPECT_STREQ("Connection timed out", SocketErrorText());
      timedOut = true;
    } else {
      EXPECT_GE(sent, 0);
      EXPECT_LE(sent, (int)block.size());
      partial = partial || sent < (int)block.size();
      total += sent;
    }
  }
  EXPECT_TRUE(partial);
  EXPECT_TRUE(timedOut);
  // What the layer reported as sent is exactly what the server receives.
  read = true;
  EXPECT_EQ(1, SocketShutdown(socket_));
  server.Join();
  EXPECT_EQ(total, serverTotal.load());
}

TEST_F(SocketTest, ShortSendGoesOutWhole) {
  std::string got;
  TestServer server([&got](TestPeer &peer) { got = peer.ReceiveToEnd(); });
  Connect(server);
  int sent = -1;
  EXPECT_EQ(1, SocketSend(socket_, "VRFY abc\r\n", 10, &sent));
  EXPECT_EQ(10, sent);
  EXPECT_EQ(1, SocketSend(socket_, "", 0, &sent));
  EXPECT_EQ(0, sent);
  sent = 5;
  EXPECT_EQ(0, SocketSend(socket_, "abc", -1, &sent));  // refused, nothing sent
  EXPECT_EQ(0, sent);
  EXPECT_STREQ("Invalid argument", SocketErrorText());
  EXPECT_EQ(1, SocketShutdown(socket_));
  server.Join();
  EXPECT_EQ("VRFY abc\r\n", got);
}

TEST_F(SocketTest, ShutdownDrainsWhatHasArrived) {
  std::atomic<bool> sawEnd(false);
  TestServer server([&sawEnd](TestPeer &peer) {
    peer.Send(std::string(200, 'd'));  // more than one 80-byte scratch load
    sawEnd = peer.ReceiveToEnd().empty();
  });
  Connect(server);
  TestSleep(200);  // the 200 bytes are waiting, unread
  EXPECT_EQ(1, SocketShutdown(socket_));
  server.Join();
  EXPECT_TRUE(sawEnd.load());  // the server saw the client end its side
  int result = -1;
  EXPECT_EQ("", ReceiveOnce(64, &result));  // nothing is left to read
  EXPECT_EQ(0, result);
  EXPECT_EQ(1, SocketClose(&socket_));
  EXPECT_EQ(nullptr, socket_);
}

TEST_F(SocketTest, ReceiveTimesOutOnASilentServer) {
  TestServer server([](TestPeer &peer) { peer.ReceiveToEnd(); });
  Connect(server);
  EXPECT_EQ(SOCKET_TIMEOUT_DEFAULT, SocketSetTimeout(300));
  auto start = std::chrono::steady_clock::now();
  int result = -1;
  EXPECT_EQ("", ReceiveOnce(64, &result));
  long long waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(0, result);
  EXPECT_STREQ("Connection timed out", SocketErrorText());
  EXPECT_GE(waited, 250);
  SocketShutdown(socket_);
}

TEST_F(SocketTest, ConnectTimesOutWhenNobodyAnswers) {
  // A listener with a full queue leaves further connection requests unanswered.
  TestServer server(nullptr, 0);
  SocketSetTimeout(300);
  std::vector<Socket *> opened;
  bool timedOut = false;
  for (int i = 0; i < 8 && !timedOut; i++) {
    Socket *s = NULL;
    ASSERT_EQ(1, SocketOpen(&s, SOCKET_TCP));
    opened.push_back(s);
    if (!SocketConnect(s, kLoopback, server.Port())) {
      EXPECT_STREQ("Connection timed out", SocketErrorText());
      timedOut = true;
    }
  }
  EXPECT_TRUE(timedOut);
  for (Socket *s : opened) EXPECT_EQ(1, SocketClose(&s));
}

TEST_F(SocketTest, RefusedConnection) {
  ASSERT_EQ(1, SocketOpen(&socket_, SOCKET_TCP));
  EXPECT_EQ(0, SocketConnect(socket_, kLoopback, TestFreePort()));
  EXPECT_STREQ("Connection refused", SocketErrorText());
}

TEST_F(SocketTest, ShutdownOfAnUnconnectedSocketFails) {
  ASSERT_EQ(1, SocketOpen(&socket_, SOCKET_TCP));
  EXPECT_EQ(0, SocketShutdown(socket_));
  EXPECT_STREQ("Socket is not connected", SocketErrorText());
}

TEST_F(SocketTest, ResolveNamesAndAddresses) {
  SocketHost host;
  memset(&host, 0xAB, sizeof host);
  ASSERT_EQ(1, SocketResolve(&host, "localhost"));
  EXPECT_EQ(0, memcmp(host.address, kLoopback, 4));
  EXPECT_GT(strlen(host.name), 0u);
  EXPECT_EQ(0, host.port);
  ASSERT_EQ(1, SocketResolve(&host, "127.0.0.1"));
  EXPECT_EQ(0, memcmp(host.address, kLoopback, 4));

  memset(&host, 0xAB, sizeof host);
  EXPECT_EQ(0, SocketResolve(&host, "no-such-host.invalid"));
  SocketHost zero;
  memset(&zero, 0, sizeof zero);
  EXPECT_EQ(0, memcmp(&zero, &host, sizeof host));
}

TEST_F(SocketTest, LocalHostHasAName) {
  SocketHost host;
  memset(&host, 0xAB, sizeof host);
  ASSERT_EQ(1, SocketGetLocalHost(&host));
  EXPECT_GT(strlen(host.name), 0u);
  EXPECT_LT(strlen(host.name), sizeof host.name);
  EXPECT_EQ(0, host.port);
}

TEST_F(SocketTest, ErrorTexts) {
  SocketSysSetLastError(10061);
  EXPECT_STREQ("Connection refused", SocketErrorText());
  SocketSysSetLastError(0);
  EXPECT_STREQ("No Error", SocketErrorText());
  SocketSysSetLastError(11004);
  EXPECT_STREQ("Valid name, no data record of requested type", SocketErrorText());
  SocketSysSetLastError(10092);
  EXPECT_STREQ("WINSOCK.DLL version out of range", SocketErrorText());

  std::string log = TestStartLog(DEBUG_FILE);
  SocketSysSetLastError(12345);
  EXPECT_STREQ("Unknown error code", SocketErrorText());
  SocketSysSetLastError(10000);  // between the table's rows
  EXPECT_STREQ("Unknown error code", SocketErrorText());
  TestStopLog();
  EXPECT_EQ("\r\nUnknown (12345) (0x00003039)\r\n\r\nUnknown (10000) (0x00002710)\r\n", TestReadFile(log));
  TestRemoveFile(log);
}

TEST(SocketDeathTest, NullPointersAreFatal) {
  EXPECT_EXIT(SocketResolve(NULL, "localhost"), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(
      {
        int count;
        SocketSend(NULL, NULL, 1, &count);
      },
      testing::ExitedWithCode(1), "");
}

}  // namespace
