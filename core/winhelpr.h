// Window helpers: centring, the message pump, progress bars by percentage,
// dialog text fields, the folder browser, the temporary and system
// directories (always with a trailing backslash). Window and dialog handles
// are HWND values carried as void *.
#ifndef VANTOR_WINHELPR_H
#define VANTOR_WINHELPR_H

int WindowHelpersInit(void);
int WindowHelpersRemove(void);
int CenterWindow(void *window, void *parent);
int MoveWindowTo(void *window, int x, int y);
// Lets pending messages run; WM_CLOSE and WM_QUIT stay queued.
int PumpMessages(void);
int ProgressBarReset(void *dialog, int id);
int ProgressBarSetPercent(void *dialog, int id, double percent);
int DialogGetText(void *dialog, int id, char *buffer, int size);
int DialogSetEditText(void *dialog, int id, const char *text, int limit);
// 1 when a folder with a file-system path was chosen (path ends in '\\').
int BrowseForFolder(void *owner, const char *title, char *path);
int QueryTempDir(char *buffer, int size);
int QuerySystemDir(char *buffer, int size);

#endif
