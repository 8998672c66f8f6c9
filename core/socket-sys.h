// The socket seam: the system calls under core/socket.cpp, nothing more.
// socket-win32.cpp is the product (Windows Sockets 1.1, WSOCK32);
// standin/socket-bsd.cpp runs the native build on BSD sockets. Both report errors as
// Windows Sockets numbers through SocketSysLastError. Sockets are created in
// non-blocking mode; socket.cpp waits with SocketSysWait before each call.
#ifndef VANTOR_SOCKET_SYS_H
#define VANTOR_SOCKET_SYS_H

#include <stdint.h>

// Address family, socket types and protocols, with the Windows Sockets values.
#define SOCKET_SYS_INET   2
#define SOCKET_SYS_STREAM 1
#define SOCKET_SYS_DGRAM  2
#define SOCKET_SYS_TCP    6
#define SOCKET_SYS_UDP    17

// What SocketSysWait waits for.
#define SOCKET_WAIT_READ    1
#define SOCKET_WAIT_WRITE   2
#define SOCKET_WAIT_CONNECT 3  // a connection under way: established or failed

// Starts the system asking for version; *granted gets the version it grants.
// 0 on failure with the reason as the last error.
int SocketSysStartup(uint16_t version, uint16_t *granted);
int SocketSysCleanup(void);

// The calling thread's last error (Windows Sockets number), and setting it.
int SocketSysLastError(void);
void SocketSysSetLastError(int code);

// A non-blocking socket, or SOCKET_INVALID_HANDLE.
uint32_t SocketSysCreate(int family, int type, int protocol);
int SocketSysCloseHandle(uint32_t handle);
// Starts a connection to the IPv4 address (network order) and port:
// 1 established, 0 under way (wait for SOCKET_WAIT_CONNECT), -1 failed.
int SocketSysConnect(uint32_t handle, const uint8_t address[4], int port);
// Waits until the socket is ready: 1 ready, 0 time-out (milliseconds; 0 or
// less waits without limit), -1 failed. For SOCKET_WAIT_CONNECT a failed
// connection is -1 with its error as the last error.
int SocketSysWait(uint32_t handle, int what, int milliseconds);
// One send / one receive: the byte count (0 from a receive: the peer has
// closed), or -1 with the last error set.
int SocketSysSend(uint32_t handle, const char *data, int length);
int SocketSysReceive(uint32_t handle, char *buffer, int size);
// Shuts both directions.
int SocketSysShutdown(uint32_t handle);

// Looks a host name up: the official name cut to fit size bytes, the first
// IPv4 address. 0 when it does not resolve.
int SocketSysResolve(const char *name, char *official, int size, uint8_t address[4]);
// This machine's name into size bytes; 0 on failure.
int SocketSysHostName(char *buffer, int size);

#endif
