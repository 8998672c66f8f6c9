// The pages' seam: starting the editor. pages-win32.cpp is the product
// (CreateProcessW); standin/pages-standin.cpp records the starts.
#ifndef INSTALLER_PAGES_SYS_H
#define INSTALLER_PAGES_SYS_H

#include <stdint.h>

// Starts a program (CreateProcessW with application as the program file,
// commandLine as its command line, no inherited handles, normal priority,
// this process's environment and directory) and lets it run on its own.
// 1 started; 0 with *error the system error code.
int PagesStartProcess(const char *application, char *commandLine, uint32_t *error);

#endif
