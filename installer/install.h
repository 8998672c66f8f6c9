// The install services: shell integration (OLE, the Program Manager DDE
// conversation, self-registration, fonts for the run), the dialog pages and
// the progress window. Window handles are HWND values carried as void *.
#ifndef INSTALLER_INSTALL_H
#define INSTALLER_INSTALL_H

// Shell integration.
int InstallInit(void);
int InstallRemove(void);
int ProgManExecute(const char *command);
int RegisterServer(const char *path, int doRegister);
int FontResourceAdd(const char *path);
int FontResourceRemove(const char *path);

// Pages.
int ShowMessagePage(void *owner, const char *caption, const char *entryName);
int ShowAgreementPage(void *owner, const char *caption, const char *entryName);
int JoinWrappedLines(char *text);
int ViewTextFile(const char *path);

// The progress window (dialog 117), created hidden with the main window.
int ProgressCreate(void *instance, void *owner);
int ProgressShow(int show);
int ProgressSetPercent(double percent);
int ProgressDestroy(void);

#endif
