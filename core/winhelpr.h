// Window helpers: centring, the message pump, progress bars by percentage,
// dialog text fields, the folder browser, the temporary, system and Windows
// directories (always with a trailing backslash). Window and dialog handles
// are HWND values carried as void *. Every operation answers 1 unless its
// comment says otherwise.
//
// winhelpr.cpp holds every decision (centring arithmetic, the percentage
// clamp, the backslash rule); the system calls sit behind dialog-sys.h and
// winhelpr-sys.h.
#ifndef VANTOR_WINHELPR_H
#define VANTOR_WINHELPR_H

// Progress bars driven here run from 0 to PROGRESS_BAR_RANGE: one step is a
// tenth of a percent.
#define PROGRESS_BAR_RANGE 1000
// Bytes a folder-browser path buffer holds: the longest file-system path
// (MAX_PATH characters, at most 3 bytes each in UTF-8) and its trailing
// backslash.
#define BROWSE_PATH_SIZE (260 * 3 + 2)

// Initialises the common controls, so that progress bars exist.
int WindowHelpersInit(void);
// The file name of the common controls library WindowHelpersInit loaded;
// "" when it loaded none.
const char *WindowHelpersCommonControls(void);
int WindowHelpersRemove(void);
// Centres window over parent, or over the desktop when parent is NULL: each
// half-difference of the sizes is truncated toward zero, so a window larger
// than its parent extends equally beyond both sides, rounded toward the
// parent's left or top edge. A window that does not exist is left alone.
int CenterWindow(void *window, void *parent);
// Moves window to screen position (x, y), size and z-order unchanged.
int MoveWindowTo(void *window, int x, int y);
// Lets pending messages of the calling thread run; stops at an empty queue
// or at WM_CLOSE or WM_QUIT, which stay queued for the main loop.
int PumpMessages(void);
// Position 0, range 0 to PROGRESS_BAR_RANGE on progress bar id of dialog.
int ProgressBarReset(void *dialog, int id);
// Position = percent x 10 truncated toward zero, held within 0 to
// PROGRESS_BAR_RANGE (a value that is not a number counts as 0).
int ProgressBarSetPercent(void *dialog, int id, double percent);
// Text of control id into buffer (size bytes), cut to fit, always
// terminated; empty when there is no such control.
int DialogGetText(void *dialog, int id, char *buffer, int size);
// Selects the whole text of edit control id with the caret at its start, so
// the view stays at the top. Returns 1.
int DialogSelectAllFromStart(void *dialog, int id);
// Sets the text of edit control id, selects all of it with the caret at its
// start (so the view stays at the top) and limits the control to limit
// characters.
int DialogSetEditText(void *dialog, int id, const char *text, int limit);
// The shell folder browser owned by owner with title above the tree. path
// holds BROWSE_PATH_SIZE bytes: on entry a start path (the browser is then
// rooted there and offers it and its subfolders) or empty (all drives); on
// success the chosen folder, ending in a backslash. 1 when a folder with a
// file-system path was chosen; 0 when the user cancelled, the choice has no
// file-system path or the browser could not run (path then unspecified).
int BrowseForFolder(void *owner, const char *title, char *path);
// The temporary (GetTempPathW), system (GetSystemDirectoryW) and Windows
// (GetWindowsDirectoryW) directories into buffer (size bytes), a backslash
// appended unless the text ends in one. 0 with buffer empty when the system
// gives no directory or it does not fit with its backslash.
int QueryTempDir(char *buffer, int size);
int QuerySystemDir(char *buffer, int size);
int QueryWindowsDir(char *buffer, int size);
// The same for the person's own program folder, where a user install goes
// (the known folder UserProgramFiles, normally %LOCALAPPDATA%\Programs).
int QueryUserProgramsDir(char *buffer, int size);

#endif
