// The socket layer: every decision, result, count, log line and text; the
// system calls are behind socket-sys.h.
#include "socket.h"

#include <string.h>

#include "socket-sys.h"
#include "vantor-core.h"
#include "vantor-str.h"

static_assert(sizeof(Socket) == SOCKET_RECORD_SIZE, "Socket record is 12 bytes");
static_assert(sizeof(SocketHost) == 264, "SocketHost is 264 bytes");

#define SOCKET_ERROR_INVALID 10022

static int timeoutSet;  // the timeout plus 1; 0: SOCKET_TIMEOUT_DEFAULT (no data section)

struct SocketErrorEntry {
  int code;
  const char *text;
};

static const SocketErrorEntry errorTable[] = {
    {0, "No Error"},
    {10004, "Interrupted function call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Resource temporarily unavailable"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Cannot assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Cannot send after socket shutdown"},
    {10059, "Too many references"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Loop"},
    {10063, "Name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disk quota"},
    {10070, "Stale"},
    {10071, "Remote"},
    {10091, "Network subsystem is unavailable"},
    {10092, "WINSOCK.DLL version out of range"},
    {10093, "Successful WSAStartup not yet performed"},
    {10101, "Graceful shutdown in progress"},
    {11001, "Host not found"},
    {11002, "Non-authoritative host not found"},
    {11003, "This is a non-recoverable error"},
    {11004, "Valid name, no data record of requested type"},
};

const char *SocketErrorText(void) {
  int code = SocketSysLastError();
  for (size_t i = 0; i < sizeof errorTable / sizeof errorTable[0]; i++)
    if (errorTable[i].code == code) return errorTable[i].text;
  DebugPrintf("\nUnknown (%d) (0x%.8X)\n", code, (unsigned)code);
  return "Unknown error code";
}

int SocketInit(void) {
  uint16_t granted = 0;
  if (!SocketSysStartup(SOCKET_VERSION, &granted)) {
    DebugPrintf("WSAStartup failed (%s)\n", SocketErrorText());
    return 0;
  }
  if (granted != SOCKET_VERSION) {
    DebugPrintf("Wrong Winsock version (%d != %d)\n", (int)granted, SOCKET_VERSION);
    return 0;
  }
  return 1;
}

int SocketRemove(void) {
  if (!SocketSysCleanup()) {
    DebugPrintf("WSACleanup failed (%s)\n", SocketErrorText());
    return 0;
  }
  return 1;
}

int SocketSetTimeout(int milliseconds) {
  int previous = timeoutSet != 0 ? timeoutSet - 1 : SOCKET_TIMEOUT_DEFAULT;
  timeoutSet = (milliseconds > 0 ? milliseconds : 0) + 1;
  return previous;
}

// Waits for the socket within the time-out; a time-out becomes the error
// "Connection timed out" so that callers see it as any other failure.
static int SocketWait(uint32_t handle, int what) {
  int ready = SocketSysWait(handle, what, timeoutSet != 0 ? timeoutSet - 1 : SOCKET_TIMEOUT_DEFAULT);
  if (ready == 0) SocketSysSetLastError(SOCKET_ERROR_TIMEDOUT);
  return ready > 0;
}

static void SocketRecordFree(Socket **record) {
  if (!MEM_FREE(*record, SOCKET_RECORD_SIZE)) ABORT("Unable to free memory (%d)\n", SOCKET_RECORD_SIZE);
}

int SocketOpen(Socket **out, int kind) {
  ASSERT(out != NULL, POINTER_IS_NULL);
  Socket *record = (Socket *)MEM_ALLOC(SOCKET_RECORD_SIZE);
  if (record == NULL) ABORT("No memory available (%d)\n", SOCKET_RECORD_SIZE);
  memset(record, 0, SOCKET_RECORD_SIZE);

  int type, protocol;
  switch (kind) {
    case SOCKET_TCP: type = SOCKET_SYS_STREAM; protocol = SOCKET_SYS_TCP; break;
    case SOCKET_UDP: type = SOCKET_SYS_DGRAM; protocol = SOCKET_SYS_UDP; break;
    case SOCKET_DGRAM: type = SOCKET_SYS_DGRAM; protocol = 0; break;
    default:
      DebugPrintf("Unknown socket protocol '%d'\n", kind);
      SocketRecordFree(&record);
      return 0;
  }
  uint32_t handle = SocketSysCreate(SOCKET_SYS_INET, type, protocol);
  if (handle == SOCKET_INVALID_HANDLE) {
    SocketRecordFree(&record);
    return 0;
  }
  record->handle = handle;
  record->kind = kind;
  *out = record;
  return 1;
}

int SocketClose(Socket **socket) {
  ASSERT(socket != NULL, POINTER_IS_NULL);
  if (*socket == NULL) return 1;
  if (!SocketSysCloseHandle((*socket)->handle)) return 0;
  SocketRecordFree(socket);
  return 1;
}

int SocketConnect(Socket *socket, const uint8_t *address, int port) {
  ASSERT(socket != NULL, POINTER_IS_NULL);
  static const uint8_t anyAddress[4] = {0, 0, 0, 0};
  int state = SocketSysConnect(socket->handle, address != NULL ? address : anyAddress, port);
  if (state == 0) state = SocketWait(socket->handle, SOCKET_WAIT_CONNECT) ? 1 : -1;
  return state == 1;
}

// The start of a send or a receive: the count is cleared; the socket must
// exist, the size must not be negative, and the socket must become ready
// within the time-out.
static int SocketReady(Socket *socket, int size, int what, int *count) {
  *count = 0;
  if (socket == NULL) return 0;
  if (size < 0) {
    SocketSysSetLastError(SOCKET_ERROR_INVALID);
    return 0;
  }
  return SocketWait(socket->handle, what);
}

int SocketSend(Socket *socket, const char *data, int length, int *sent) {
  ASSERT(data != NULL, POINTER_IS_NULL);
  ASSERT(sent != NULL, POINTER_IS_NULL);
  if (!SocketReady(socket, length, SOCKET_WAIT_WRITE, sent)) return 0;
  int count = SocketSysSend(socket->handle, data, length);
  if (count >= 0) {
    *sent = count;
    return 1;
  }
  return SocketSysLastError() == SOCKET_ERROR_WOULDBLOCK;
}

int SocketReceive(Socket *socket, char *buffer, int size, int *received) {
  ASSERT(buffer != NULL, POINTER_IS_NULL);
  ASSERT(received != NULL, POINTER_IS_NULL);
  if (!SocketReady(socket, size, SOCKET_WAIT_READ, received)) return 0;
  int count = SocketSysReceive(socket->handle, buffer, size);
  if (count > 0) {
    *received = count;
    return 1;
  }
  if (count == 0) return 0;
  return SocketSysLastError() == SOCKET_ERROR_WOULDBLOCK;
}

int SocketShutdown(Socket *socket) {
  if (socket == NULL) return 0;
  if (!SocketSysShutdown(socket->handle)) return 0;
  // Only what has already arrived is thrown away: the drain does not wait.
  char scratch[SOCKET_DRAIN_SIZE];
  while (SocketSysReceive(socket->handle, scratch, SOCKET_DRAIN_SIZE) > 0) {
  }
  return 1;
}

int SocketResolve(SocketHost *host, const char *name) {
  ASSERT(host != NULL, POINTER_IS_NULL);
  ASSERT(name != NULL, POINTER_IS_NULL);
  memset(host, 0, sizeof *host);
  if (!SocketSysResolve(name, host->name, SOCKET_HOST_NAME_SIZE, host->address)) {
    memset(host, 0, sizeof *host);
    return 0;
  }
  return 1;
}

int SocketGetLocalHost(SocketHost *host) {
  ASSERT(host != NULL, POINTER_IS_NULL);
  char name[SOCKET_HOST_NAME_SIZE];
  if (!SocketSysHostName(name, SOCKET_HOST_NAME_SIZE)) return 0;
  if (!SocketResolve(host, name)) StrCopyN(host->name, name, SOCKET_HOST_NAME_SIZE);
  return 1;
}
