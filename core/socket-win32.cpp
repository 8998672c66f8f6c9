// The socket seam over Windows Sockets 1.1 (WSOCK32): the product's side.
#include <winsock.h>
#include <string.h>

#include "socket.h"
#include "socket-sys.h"
#include "vantor-str.h"

// The 64-bit test build (for a Wine that cannot run 32-bit programs) has
// 64-bit handles whose values fit in 32 bits as well.
#ifndef _WIN64
static_assert(sizeof(SOCKET) == sizeof(uint32_t), "a socket handle is 32 bits");
#endif

// Filled by WSAStartup and kept for the life of the program.
static WSADATA socketData;

int SocketSysStartup(uint16_t version, uint16_t *granted) {
  int status = WSAStartup(version, &socketData);
  if (status != 0) {
    WSASetLastError(status);
    return 0;
  }
  *granted = socketData.wVersion;
  return 1;
}

int SocketSysCleanup(void) { return WSACleanup() == 0; }

int SocketSysLastError(void) { return WSAGetLastError(); }
void SocketSysSetLastError(int code) { WSASetLastError(code); }

uint32_t SocketSysCreate(int family, int type, int protocol) {
  SOCKET s = socket(family, type, protocol);
  if (s == INVALID_SOCKET) return SOCKET_INVALID_HANDLE;
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    int error = WSAGetLastError();
    closesocket(s);
    WSASetLastError(error);
    return SOCKET_INVALID_HANDLE;
  }
  return (uint32_t)s;
}

int SocketSysCloseHandle(uint32_t handle) { return closesocket((SOCKET)handle) == 0; }

int SocketSysConnect(uint32_t handle, const uint8_t address[4], int port) {
  struct sockaddr_in to;
  memset(&to, 0, sizeof to);
  to.sin_family = AF_INET;
  to.sin_port = htons((u_short)port);
  memcpy(&to.sin_addr, address, 4);
  if (connect((SOCKET)handle, (struct sockaddr *)&to, sizeof to) == 0) return 1;
  return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

int SocketSysWait(uint32_t handle, int what, int milliseconds) {
  SOCKET s = (SOCKET)handle;
  fd_set readable, writable, failed;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  if (what == SOCKET_WAIT_READ) FD_SET(s, &readable);
  else FD_SET(s, &writable);
  // A connection that fails is reported in the exception set.
  if (what == SOCKET_WAIT_CONNECT) FD_SET(s, &failed);
  struct timeval limit;
  limit.tv_sec = milliseconds / 1000;
  limit.tv_usec = (milliseconds % 1000) * 1000;
  int count = select(0, &readable, &writable, &failed, milliseconds > 0 ? &limit : NULL);
  if (count == SOCKET_ERROR) return -1;
  if (count == 0) return 0;
  if (what == SOCKET_WAIT_CONNECT && FD_ISSET(s, &failed)) {
    int error = 0;
    int size = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, (char *)&error, &size) != 0 || error == 0) error = WSAECONNREFUSED;
    WSASetLastError(error);
    return -1;
  }
  return 1;
}

int SocketSysSend(uint32_t handle, const char *data, int length) {
  int count = send((SOCKET)handle, data, length, 0);
  return count == SOCKET_ERROR ? -1 : count;
}

int SocketSysReceive(uint32_t handle, char *buffer, int size) {
  int count = recv((SOCKET)handle, buffer, size, 0);
  return count == SOCKET_ERROR ? -1 : count;
}

int SocketSysShutdown(uint32_t handle) { return shutdown((SOCKET)handle, 2) == 0; }

int SocketSysResolve(const char *name, char *official, int size, uint8_t address[4]) {
  struct hostent *entry = gethostbyname(name);
  if (entry == NULL) return 0;
  if (entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list[0] == NULL) {
    WSASetLastError(WSANO_DATA);
    return 0;
  }
  StrCopyN(official, entry->h_name != NULL ? entry->h_name : name, size);
  memcpy(address, entry->h_addr_list[0], 4);
  return 1;
}

int SocketSysHostName(char *buffer, int size) {
  if (gethostname(buffer, size) != 0) return 0;
  buffer[size - 1] = 0;
  return 1;
}
