// The install services: shell integration (OLE, the Program Manager DDE
// conversation, self-registration, fonts for the run), the dialog pages and
// the progress window. Window handles are HWND values carried as void *.
#ifndef INSTALLER_INSTALL_H
#define INSTALLER_INSTALL_H

// Shell integration.
// OLE for the run and the client DDE instance with its Program Manager
// conversation. 1 when OLE and DDE are up (Program Manager may be missing:
// logged, and the group and item commands then send nothing); 0 after the
// log line "Failed to initialize OLE\n" or "Couldn't init DDE\n".
int InstallInit(void);
// Ends the conversation, the DDE instance and OLE. Returns 1.
int InstallRemove(void);
// Starts an asynchronous execute of command (sent with its terminator) and
// lets pending messages run. 1 sent, or nothing to send to; 0 when DDE is
// not up or the transaction could not start.
int ProgManExecute(const char *command);
// Loads the library at path and calls DllRegisterServer (doRegister 1) or
// DllUnregisterServer (anything else). 1 when the entry point ran and
// reported success; 0 with the reason in the log.
int RegisterServer(const char *path, int doRegister);
// Adds the font file to the system's font table and tells every top-level
// window. 1 added; 0 after the log line.
int FontResourceAdd(const char *path);
// Takes the font away again and deletes its file (a failed delete is only
// logged). 1 removed; 0 after the log line, the file kept.
int FontResourceRemove(const char *path);

// Pages.
// Shows the archive entry entryName as text in the modal message page
// (dialog 1003) owned by owner, with caption (cut to 79 characters). 1 for
// "Continue"; 0 for "Exit Setup", a close, or a text that is not in the
// archive or cannot be loaded (logged; no page shown). entryName is not
// changed; the text is loaded and released here.
int ShowMessagePage(void *owner, const char *caption, const char *entryName);
// The same with the agreement page (dialog 1002): 1 only for "I Accept".
int ShowAgreementPage(void *owner, const char *caption, const char *entryName);
// Turns each single two-byte line break inside a paragraph into one blank,
// in place; the text never grows. Returns 1.
int JoinWrappedLines(char *text);
// Starts the system's text editor on path and does not wait for it. 1
// started; 0 after the log line "Failed to view textfile (%d 0x%.8X)\n".
int ViewTextFile(const char *path);

// The progress window (dialog 117), created hidden with the main window.
// Before ProgressCreate and after ProgressDestroy the other three do nothing.
// Each returns 1.
int ProgressCreate(void *instance, void *owner);
// 1 centres the window over its owner and shows it; anything else hides it.
int ProgressShow(int show);
// Sets the bar to percent (tenths of a percent, limited to 0 to 100) and
// lets pending messages run.
int ProgressSetPercent(double percent);
int ProgressDestroy(void);

#endif
