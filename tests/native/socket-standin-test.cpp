// Socket start-up and the machine's name as staged through the native seam's
// controls: the shared code's log lines and fall-backs.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "socket-standin.h"
#include "socket.h"
#include "test-support.h"
#include "vantor-core.h"

namespace {

struct StandInGuard {
  ~StandInGuard() { SocketStandInReset(); }
};

TEST(SocketStandIn, StartUpFailuresAreLogged) {
  StandInGuard guard;
  std::string log = TestStartLog(DEBUG_FILE);
  SocketStandInSetStartup(10091, 0);
  EXPECT_EQ(0, SocketInit());
  SocketStandInSetStartup(0, 0x0202);
  EXPECT_EQ(0, SocketInit());
  SocketStandInSetStartup(0, 0x0101);
  EXPECT_EQ(1, SocketInit());
  EXPECT_EQ(1, SocketRemove());
  TestStopLog();
  EXPECT_EQ(
      "WSAStartup failed (Network subsystem is unavailable)\r\n"
      "Wrong Winsock version (514 != 257)\r\n",
      TestReadFile(log));
  TestRemoveFile(log);
}

TEST(SocketStandIn, LocalNameThatDoesNotResolveIsKeptBare) {
  StandInGuard guard;
  SocketHost host;
  memset(&host, 0xAB, sizeof host);
  SocketStandInSetHostName("no-such-host.invalid");
  ASSERT_EQ(1, SocketGetLocalHost(&host));
  EXPECT_STREQ("no-such-host.invalid", host.name);
  const uint8_t zero[4] = {0, 0, 0, 0};
  EXPECT_EQ(0, memcmp(zero, host.address, 4));
  EXPECT_EQ(0, host.port);

  SocketStandInSetHostName("localhost");
  ASSERT_EQ(1, SocketGetLocalHost(&host));
  const uint8_t loopback[4] = {127, 0, 0, 1};
  EXPECT_EQ(0, memcmp(loopback, host.address, 4));
}

TEST(SocketStandIn, NoLocalNameLeavesTheRecord) {
  StandInGuard guard;
  SocketHost host;
  memset(&host, 0xAB, sizeof host);
  SocketStandInSetHostName(NULL);
  EXPECT_EQ(0, SocketGetLocalHost(&host));
  SocketHost untouched;
  memset(&untouched, 0xAB, sizeof untouched);
  EXPECT_EQ(0, memcmp(&untouched, &host, sizeof host));
}

}  // namespace
