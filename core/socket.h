// socket: a few blocking-style TCP/UDP operations with the library's
// conventions – a connection record from the memory pools, results 1 and 0,
// pointer checks by ASSERT, and log lines only for the failures of start-up,
// shutdown and socket creation. Error codes are the Windows Sockets numbers on
// every target (the native build maps its errno values to them), so
// SocketErrorText means the same everywhere.
//
// The layer does no buffering: SocketSend and SocketReceive are one system
// send and one system receive each. Connect, send and receive wait at most the
// time-out (SocketSetTimeout, 30 seconds at start); a time-out fails the
// operation with the error 10060 ("Connection timed out").
#ifndef VANTOR_SOCKET_H
#define VANTOR_SOCKET_H

#include <stdint.h>

// Kinds accepted by SocketOpen.
#define SOCKET_TCP   2  // internet, stream, TCP
#define SOCKET_UDP   3  // internet, datagram, UDP
#define SOCKET_DGRAM 4  // internet, datagram, default protocol

#define SOCKET_VERSION 0x0101         // Windows Sockets 1.1
#define SOCKET_RECORD_SIZE 12         // bytes of a Socket record
#define SOCKET_HOST_NAME_SIZE 256     // bytes of SocketHost.name
#define SOCKET_DRAIN_SIZE 80          // scratch bytes of SocketShutdown's drain
#define SOCKET_TIMEOUT_DEFAULT 30000  // milliseconds
#define SOCKET_INVALID_HANDLE 0xFFFFFFFFu

// Error codes that the layer itself decides on.
#define SOCKET_ERROR_WOULDBLOCK 10035
#define SOCKET_ERROR_TIMEDOUT   10060

// The connection record; SocketOpen allocates it, SocketClose releases it.
struct Socket {
  uint32_t handle;    // the system socket, never SOCKET_INVALID_HANDLE
  int32_t kind;       // as given to SocketOpen
  uint32_t reserved;  // zero
};

// A host, owned by the caller.
struct SocketHost {
  char name[SOCKET_HOST_NAME_SIZE];  // official name, zero-terminated
  uint8_t address[4];                // IPv4, network order: address[0] is the first number
  int32_t port;                      // host order; the layer never sets it
};

// Starts the socket system asking for version 1.1. 0 after the log line
// "WSAStartup failed (%s)\n" or "Wrong Winsock version (%d != %d)\n".
int SocketInit(void);
// Stops it; 0 after the log line "WSACleanup failed (%s)\n".
int SocketRemove(void);

// The fixed text for the calling thread's last socket error. An unknown code
// is logged as "\nUnknown (%d) (0x%.8X)\n" and gives "Unknown error code".
// The texts are constants: never freed, never changed.
const char *SocketErrorText(void);

// Sets how long connect, send and receive wait (milliseconds); 0 or less
// means without limit. Returns the previous setting.
int SocketSetTimeout(int milliseconds);

// Creates a socket of the kind and its record; *out gets the record. An
// unknown kind logs "Unknown socket protocol '%d'\n"; it and a failed system
// call return 0 with *out unchanged and nothing allocated.
int SocketOpen(Socket **out, int kind);
// Closes the socket, releases the record and sets *socket to NULL; 1 when
// *socket is already NULL. A failed system close returns 0 and leaves record
// and pointer as they are.
int SocketClose(Socket **socket);

// Connects to address (4 bytes, network order; NULL = any address) and port.
// 1 when the connection stands; 0 on error or time-out (no log line).
int SocketConnect(Socket *socket, const uint8_t *address, int port);
// One send of length bytes. 1 with *sent = what the system took (possibly
// less than length; the layer does not loop), or 1 with *sent = 0 when the
// send would block; 0 with *sent = 0 on error, time-out or a NULL socket.
int SocketSend(Socket *socket, const char *data, int length, int *sent);
// One receive of at most size bytes into buffer, not terminated. 1 with
// *received > 0, or 1 with 0 when it would block; 0 with *received = 0 when
// the peer has closed, on error, time-out or a NULL socket.
int SocketReceive(Socket *socket, char *buffer, int size, int *received);
// Ends both directions, then throws away whatever has arrived, 80 bytes at a
// time, until a receive delivers nothing. 0 when the shutdown fails or for a
// NULL socket. The record stays open: SocketClose follows.
int SocketShutdown(Socket *socket);

// Clears *host and looks name up; 1 with the official name and the first
// address filled in, 0 with *host all zero. The port is left 0.
int SocketResolve(SocketHost *host, const char *name);
// This machine's name and address: 0 (host untouched) when the system gives
// no name; a name that does not resolve gives the bare name and 0.0.0.0 with 1.
int SocketGetLocalHost(SocketHost *host);

#endif
