// Test controls of the native socket seam (socket-bsd.cpp), which runs on
// the machine's real BSD sockets: only what the system cannot be made to do
// on demand is staged here.
#ifndef VANTOR_SOCKET_STANDIN_H
#define VANTOR_SOCKET_STANDIN_H

#include <stdint.h>

// From now on start-up fails with error (a Windows Sockets number) when error
// is not 0, else succeeds granting the version given.
void SocketStandInSetStartup(int error, uint16_t granted);
// The machine's name as the seam reports it from now on; NULL makes the name
// unavailable.
void SocketStandInSetHostName(const char *name);
// Back to the system: version 1.1 granted, the real machine name.
void SocketStandInReset(void);

#endif
