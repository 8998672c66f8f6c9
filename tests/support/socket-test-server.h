// A loopback TCP server for the socket tests, built on the platform's own
// sockets (Windows Sockets 1.1 in the Win32 build, BSD sockets natively), so
// that the layer under test is only ever the client.
#ifndef SOCKET_TEST_SERVER_H
#define SOCKET_TEST_SERVER_H

#include <stdint.h>

#include <functional>
#include <string>
#include <thread>

// The server's end of one accepted connection. Every wait is bounded (ten
// seconds), so a faulty client fails its test instead of hanging it.
class TestPeer {
 public:
  explicit TestPeer(uintptr_t handle) : handle_(handle) {}
  // Sends all of data; false on error.
  bool Send(const std::string &data);
  // One receive of at most size bytes; "" at the end of the stream or on error.
  std::string Receive(int size);
  // Reads until the client ends its side; the bytes read.
  std::string ReceiveToEnd();
  // Reads until the client ends its side; the number of bytes read.
  long long CountToEnd();
  void Close();

 private:
  uintptr_t handle_;
};

// Listens on 127.0.0.1 at a port of the system's choice. With a session, a
// thread accepts one connection and runs the session on it, then closes it;
// without one, nothing is ever accepted (with backlog 0 the queue fills
// after the first connection, so later connects wait).
class TestServer {
 public:
  explicit TestServer(std::function<void(TestPeer &)> session, int backlog = 4);
  ~TestServer();
  int Port() const { return port_; }
  // Waits until the session has ended.
  void Join();

 private:
  uintptr_t listener_;
  int port_;
  std::thread thread_;
};

// A loopback port that nothing listens on (at the time of the call).
int TestFreePort();
void TestSleep(int milliseconds);

#endif
