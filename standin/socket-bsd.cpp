// The socket seam over BSD sockets, for the native build. errno and h_errno
// values are mapped to the Windows Sockets numbers, so the shared code sees
// the same codes on both targets.
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "socket.h"
#include "socket-standin.h"
#include "socket-sys.h"
#include "vantor-str.h"

static thread_local int lastError;

static int startupError;
static uint16_t startupGranted = SOCKET_VERSION;
static bool hostNameStaged;
static char stagedHostName[SOCKET_HOST_NAME_SIZE];
static bool hostNameMissing;

struct ErrnoEntry {
  int error;
  int code;
};

static const ErrnoEntry errnoTable[] = {
    {EINTR, 10004},           {EBADF, 10009},        {EACCES, 10013},          {EFAULT, 10014},
    {EINVAL, 10022},          {EMFILE, 10024},       {ENFILE, 10024},          {EAGAIN, 10035},
    {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},  {EALREADY, 10037},        {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039},    {EMSGSIZE, 10040},     {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},     {ENETRESET, 10052},    {ECONNABORTED, 10053},    {ECONNRESET, 10054},
    {ENOBUFS, 10055},         {ENOMEM, 10055},       {EISCONN, 10056},         {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},       {EPIPE, 10058},        {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},    {ELOOP, 10062},        {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},    {EUSERS, 10068},          {EDQUOT, 10069},
    {ESTALE, 10070},          {EREMOTE, 10071},
};

// Records the error as the last error and returns result. An errno value
// without a Windows Sockets counterpart is passed on as it is and shows up as
// an unknown code.
static int Failed(int error, int result) {
  lastError = error;
  for (size_t i = 0; i < sizeof errnoTable / sizeof errnoTable[0]; i++)
    if (errnoTable[i].error == error) {
      lastError = errnoTable[i].code;
      break;
    }
  return result;
}

int SocketSysLastError(void) { return lastError; }
void SocketSysSetLastError(int code) { lastError = code; }

void SocketStandInSetStartup(int error, uint16_t granted) {
  startupError = error;
  startupGranted = granted;
}

void SocketStandInSetHostName(const char *name) {
  hostNameStaged = true;
  hostNameMissing = name == NULL;
  StrCopyN(stagedHostName, name != NULL ? name : "", SOCKET_HOST_NAME_SIZE);
}

void SocketStandInReset(void) {
  startupError = 0;
  startupGranted = SOCKET_VERSION;
  hostNameStaged = false;
  hostNameMissing = false;
}

int SocketSysStartup(uint16_t version, uint16_t *granted) {
  (void)version;
  if (startupError != 0) {
    lastError = startupError;
    return 0;
  }
  *granted = startupGranted;
  return 1;
}

int SocketSysCleanup(void) { return 1; }

uint32_t SocketSysCreate(int family, int type, int protocol) {
  int kind = type == SOCKET_SYS_STREAM ? SOCK_STREAM : SOCK_DGRAM;
  int fd = socket(family == SOCKET_SYS_INET ? AF_INET : family, kind, protocol);
  if (fd < 0) {
    Failed(errno, 0);
    return SOCKET_INVALID_HANDLE;
  }
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
    int error = errno;
    close(fd);
    Failed(error, 0);
    return SOCKET_INVALID_HANDLE;
  }
  return (uint32_t)fd;
}

int SocketSysCloseHandle(uint32_t handle) {
  if (close((int)handle) != 0 && errno != EINTR) return Failed(errno, 0);
  return 1;
}

int SocketSysConnect(uint32_t handle, const uint8_t address[4], int port) {
  struct sockaddr_in to;
  memset(&to, 0, sizeof to);
  to.sin_family = AF_INET;
  to.sin_port = htons((uint16_t)port);
  memcpy(&to.sin_addr, address, 4);
  if (connect((int)handle, (struct sockaddr *)&to, sizeof to) == 0) return 1;
  if (errno == EINPROGRESS || errno == EINTR) return 0;
  return Failed(errno, -1);
}

int SocketSysWait(uint32_t handle, int what, int milliseconds) {
  struct pollfd entry;
  entry.fd = (int)handle;
  entry.events = what == SOCKET_WAIT_READ ? POLLIN : POLLOUT;
  entry.revents = 0;
  int count;
  do count = poll(&entry, 1, milliseconds > 0 ? milliseconds : -1);
  while (count < 0 && errno == EINTR);
  if (count < 0) return Failed(errno, -1);
  if (count == 0) return 0;
  if (entry.revents & POLLNVAL) return Failed(EBADF, -1);
  if (what == SOCKET_WAIT_CONNECT) {
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt((int)handle, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return Failed(errno, -1);
    if (error != 0) return Failed(error, -1);
  }
  return 1;
}

int SocketSysSend(uint32_t handle, const char *data, int length) {
  // MSG_NOSIGNAL: a closed peer is an error result, not a signal.
  ssize_t count = send((int)handle, data, (size_t)length, MSG_NOSIGNAL);
  return count < 0 ? Failed(errno, -1) : (int)count;
}

int SocketSysReceive(uint32_t handle, char *buffer, int size) {
  ssize_t count = recv((int)handle, buffer, (size_t)size, 0);
  return count < 0 ? Failed(errno, -1) : (int)count;
}

int SocketSysShutdown(uint32_t handle) {
  if (shutdown((int)handle, SHUT_RDWR) != 0) return Failed(errno, 0);
  return 1;
}

int SocketSysResolve(const char *name, char *official, int size, uint8_t address[4]) {
  struct hostent *entry = gethostbyname(name);
  if (entry == NULL) {
    switch (h_errno) {
      case HOST_NOT_FOUND: lastError = 11001; break;
      case TRY_AGAIN: lastError = 11002; break;
      case NO_RECOVERY: lastError = 11003; break;
      default: lastError = 11004; break;
    }
    return 0;
  }
  if (entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list[0] == NULL) {
    lastError = 11004;
    return 0;
  }
  StrCopyN(official, entry->h_name != NULL ? entry->h_name : name, size);
  memcpy(address, entry->h_addr_list[0], 4);
  return 1;
}

int SocketSysHostName(char *buffer, int size) {
  if (hostNameStaged) {
    if (hostNameMissing) {
      lastError = 10091;
      return 0;
    }
    StrCopyN(buffer, stagedHostName, size);
    return 1;
  }
  if (gethostname(buffer, (size_t)size) != 0) return Failed(errno, 0);
  buffer[size - 1] = 0;
  return 1;
}
