// The exit codes of a run, attended or not. The driver (run.cpp) decides
// which one the run ends with; a command that fails for a reason of its own
// leaves that reason in the script record (InstallScript::failure).
#ifndef INSTALLER_EXIT_CODES_H
#define INSTALLER_EXIT_CODES_H

#define EXIT_INSTALLED        0
#define EXIT_INTERNAL_ERROR   1  // a fatal error or failed assertion
#define EXIT_COMMAND_FAILED   2  // a command failed or a keyword is unknown
#define EXIT_DAMAGED          3  // the installer file cannot be mounted
#define EXIT_DESTINATION      4  // no drive, too long, not enough room
#define EXIT_NOT_INSTALLED    5  // UPDATE found no earlier installation
#define EXIT_FILE_IN_USE      6  // a file to be replaced is held by another program (unattended)
#define EXIT_CANCELLED     1602  // the person ended the installation before it was done
#define EXIT_ANOTHER_RUNNING 1618  // another installer of the same product is running
#define EXIT_RESTART_NEEDED 3010  // done, and files are replaced or removed when Windows restarts

#endif
