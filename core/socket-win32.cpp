// The socket seam over Windows Sockets 1.1 (WSOCK32): the product's side.
// WSOCK32 is not one of the system's known libraries, so it is not
// imported (an import would be looked for beside the program first): its
// entries are taken from the system directory's copy at start-up.
#include <winsock.h>
#include <string.h>

#include "socket.h"
#include "socket-sys.h"
#include "syslib-win32.h"
#include "vantor-str.h"

#define SOCKET_ENTRIES(X)                                                                                  \
  X(WSAStartup) X(WSACleanup) X(WSAGetLastError) X(WSASetLastError) X(socket) X(ioctlsocket) X(closesocket) \
  X(connect) X(select) X(getsockopt) X(send) X(recv) X(shutdown) X(gethostbyname) X(gethostname)
#define SOCKET_INDEX(name) ENTRY_##name,
#define SOCKET_NAME(name) #name "\0"
enum { SOCKET_ENTRIES(SOCKET_INDEX) ENTRY_COUNT };
static const char entryNames[] = SOCKET_ENTRIES(SOCKET_NAME);
static void *entries[ENTRY_COUNT];
static int loaded;  // every entry found
// The entry, typed as the header declares the function.
#define WS(name) ((decltype(&name))entries[ENTRY_##name])

// The 64-bit test build (for a Wine that cannot run 32-bit programs) has
// 64-bit handles whose values fit in 32 bits as well.
#ifndef _WIN64
static_assert(sizeof(SOCKET) == sizeof(uint32_t), "a socket handle is 32 bits");
#endif

// Filled by WSAStartup and kept for the life of the program.
static WSADATA socketData;

int SocketSysStartup(uint16_t version, uint16_t *granted) {
  // Without the library every call fails, its error "Network subsystem is unavailable".
  if (!loaded) loaded = SysLibraryEntries("wsock32", entryNames, entries);
  if (!loaded) return 0;
  int status = WS(WSAStartup)(version, &socketData);
  if (status != 0) {
    WS(WSASetLastError)(status);
    return 0;
  }
  *granted = socketData.wVersion;
  return 1;
}

int SocketSysCleanup(void) { return loaded && WS(WSACleanup)() == 0; }

int SocketSysLastError(void) { return loaded ? WS(WSAGetLastError)() : WSASYSNOTREADY; }
void SocketSysSetLastError(int code) {
  if (loaded) WS(WSASetLastError)(code);
}

uint32_t SocketSysCreate(int family, int type, int protocol) {
  if (!loaded) return SOCKET_INVALID_HANDLE;
  SOCKET s = WS(socket)(family, type, protocol);
  if (s == INVALID_SOCKET) return SOCKET_INVALID_HANDLE;
  u_long nonBlocking = 1;
  if (WS(ioctlsocket)(s, FIONBIO, &nonBlocking) != 0) {
    int error = WS(WSAGetLastError)();
    WS(closesocket)(s);
    WS(WSASetLastError)(error);
    return SOCKET_INVALID_HANDLE;
  }
  return (uint32_t)s;
}

int SocketSysCloseHandle(uint32_t handle) { return WS(closesocket)((SOCKET)handle) == 0; }

int SocketSysConnect(uint32_t handle, const uint8_t address[4], int port) {
  struct sockaddr_in to;
  memset(&to, 0, sizeof to);
  to.sin_family = AF_INET;
  to.sin_port = (u_short)(((port & 0xFF) << 8) | ((port >> 8) & 0xFF));  // network order
  memcpy(&to.sin_addr, address, 4);
  if (WS(connect)((SOCKET)handle, (struct sockaddr *)&to, sizeof to) == 0) return 1;
  return WS(WSAGetLastError)() == WSAEWOULDBLOCK ? 0 : -1;
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
  int count = WS(select)(0, &readable, &writable, &failed, milliseconds > 0 ? &limit : NULL);
  if (count == SOCKET_ERROR) return -1;
  if (count == 0) return 0;
  // The sets keep only the sockets that are ready, and each holds s alone.
  if (what == SOCKET_WAIT_CONNECT && failed.fd_count != 0) {
    int error = 0;
    int size = sizeof error;
    if (WS(getsockopt)(s, SOL_SOCKET, SO_ERROR, (char *)&error, &size) != 0 || error == 0) error = WSAECONNREFUSED;
    WS(WSASetLastError)(error);
    return -1;
  }
  return 1;
}

int SocketSysSend(uint32_t handle, const char *data, int length) {
  int count = WS(send)((SOCKET)handle, data, length, 0);
  return count == SOCKET_ERROR ? -1 : count;
}

int SocketSysReceive(uint32_t handle, char *buffer, int size) {
  int count = WS(recv)((SOCKET)handle, buffer, size, 0);
  return count == SOCKET_ERROR ? -1 : count;
}

int SocketSysShutdown(uint32_t handle) { return WS(shutdown)((SOCKET)handle, 2) == 0; }

int SocketSysResolve(const char *name, char *official, int size, uint8_t address[4]) {
  if (!loaded) return 0;
  struct hostent *entry = WS(gethostbyname)(name);
  if (entry == NULL) return 0;
  if (entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list[0] == NULL) {
    WS(WSASetLastError)(WSANO_DATA);
    return 0;
  }
  StrCopyN(official, entry->h_name != NULL ? entry->h_name : name, size);
  memcpy(address, entry->h_addr_list[0], 4);
  return 1;
}

int SocketSysHostName(char *buffer, int size) {
  if (!loaded || WS(gethostname)(buffer, size) != 0) return 0;
  buffer[size - 1] = 0;
  return 1;
}
