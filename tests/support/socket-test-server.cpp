// The loopback test server on the platform's sockets.
#include "socket-test-server.h"

#include <string.h>

#include <chrono>

#ifdef _WIN32
#include <winsock.h>
typedef int SockLen;
typedef SOCKET NativeSocket;
static const int kSendFlags = 0;
static void CloseHandle_(uintptr_t h) { closesocket((SOCKET)h); }
static const uintptr_t kInvalid = (uintptr_t)INVALID_SOCKET;
static void StartSockets() {
  WSADATA data;
  WSAStartup(0x0101, &data);
}
static void StopSockets() { WSACleanup(); }
#else
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
typedef socklen_t SockLen;
typedef int NativeSocket;
static const int kSendFlags = MSG_NOSIGNAL;  // a closed client is an error, not a signal
static void CloseHandle_(uintptr_t h) { close((int)h); }
static const uintptr_t kInvalid = (uintptr_t)-1;
static void StartSockets() {}
static void StopSockets() {}
#endif

static const int kWaitSeconds = 10;

// Waits until h is readable (or, for a listener, has a connection).
static bool Readable(uintptr_t h) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET((NativeSocket)h, &set);
  struct timeval limit = {kWaitSeconds, 0};
  return select((int)h + 1, &set, NULL, NULL, &limit) > 0;
}

void TestSleep(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

bool TestPeer::Send(const std::string &data) {
  size_t done = 0;
  while (done < data.size()) {
    int n = send((NativeSocket)handle_, data.data() + done, (int)(data.size() - done), kSendFlags);
    if (n <= 0) return false;
    done += (size_t)n;
  }
  return true;
}

std::string TestPeer::Receive(int size) {
  std::string out((size_t)size, '\0');
  if (!Readable(handle_)) return "";
  int n = recv((NativeSocket)handle_, &out[0], size, 0);
  out.resize(n > 0 ? (size_t)n : 0);
  return out;
}

std::string TestPeer::ReceiveToEnd() {
  std::string all, part;
  while (!(part = Receive(65536)).empty()) all += part;
  return all;
}

long long TestPeer::CountToEnd() {
  long long total = 0;
  std::string part;
  while (!(part = Receive(65536)).empty()) total += (long long)part.size();
  return total;
}

void TestPeer::Close() {
  if (handle_ != kInvalid) CloseHandle_(handle_);
  handle_ = kInvalid;
}

static uintptr_t Listen(int backlog, int *port) {
  uintptr_t h = (uintptr_t)socket(AF_INET, SOCK_STREAM, 0);
  struct sockaddr_in at;
  memset(&at, 0, sizeof at);
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(0x7F000001);
  at.sin_port = 0;
  bind((NativeSocket)h, (struct sockaddr *)&at, sizeof at);
  listen((NativeSocket)h, backlog);
  SockLen size = sizeof at;
  getsockname((NativeSocket)h, (struct sockaddr *)&at, &size);
  *port = ntohs(at.sin_port);
  return h;
}

TestServer::TestServer(std::function<void(TestPeer &)> session, int backlog) {
  StartSockets();
  listener_ = Listen(backlog, &port_);
  if (!session) return;
  uintptr_t listener = listener_;
  thread_ = std::thread([listener, session]() {
    if (!Readable(listener)) return;
    uintptr_t h = (uintptr_t)accept((NativeSocket)listener, NULL, NULL);
    if (h == kInvalid) return;
    TestPeer peer(h);
    session(peer);
    peer.Close();
  });
}

void TestServer::Join() {
  if (thread_.joinable()) thread_.join();
}

TestServer::~TestServer() {
  Join();
  CloseHandle_(listener_);
  StopSockets();
}

int TestFreePort() {
  StartSockets();
  int port;
  uintptr_t h = Listen(1, &port);
  CloseHandle_(h);
  StopSockets();
  return port;
}
