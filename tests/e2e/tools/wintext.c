/* Prints what a user reads in the visible top-level windows titled as the
   argument: for each such window a line "window: TITLE", then one line per
   child control "CLASS ID: TEXT", and for a text box of several lines a line
   "first-line id=ID: N" with the first line it shows, "selection id=ID: START END"
   and "edit-text id=ID: TEXT" with its line ends written as \r and \n. Run under Wine beside the program under
   test; exits 1 when no such window is up. Built by tests/e2e/example.py
   with the cross compiler. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static const char *wanted;
static int found;

static BOOL CALLBACK Child(HWND child, LPARAM unused) {
  char name[64], text[1024];
  (void)unused;
  GetClassNameA(child, name, sizeof name);
  DWORD_PTR unusedResult;
  text[0] = 0;
  /* A window whose thread does not answer is shown without its text. */
  SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, &unusedResult);
  printf("%s %d: %s\n", name, GetDlgCtrlID(child), text);
  /* A text box of several lines: which line it shows first. */
  if (GetWindowLongA(child, GWL_STYLE) & ES_MULTILINE && _stricmp(name, "Edit") == 0) {
    DWORD_PTR first = 0;
    SendMessageTimeoutA(child, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_ABORTIFHUNG, 2000, &first);
    printf("first-line id=%d: %d\n", GetDlgCtrlID(child), (int)first);
    DWORD start = 0, end = 0;
    SendMessageTimeoutA(child, EM_GETSEL, (WPARAM)&start, (LPARAM)&end, SMTO_ABORTIFHUNG, 2000, &unusedResult);
    printf("selection id=%d: %lu %lu\n", GetDlgCtrlID(child), (unsigned long)start, (unsigned long)end);
    printf("edit-text id=%d: ", GetDlgCtrlID(child));
    for (const char *c = text; *c; c++)
      if (*c == '\r') fputs("\\r", stdout);
      else if (*c == '\n') fputs("\\n", stdout);
      else putchar(*c);
    putchar('\n');
  }
  return TRUE;
}

static BOOL CALLBACK TopLevel(HWND window, LPARAM unused) {
  char title[512];
  (void)unused;
  if (!IsWindowVisible(window)) return TRUE;
  GetWindowTextA(window, title, sizeof title);
  if (strcmp(title, wanted) != 0) return TRUE;
  found++;
  printf("window: %s\n", title);
  EnumChildWindows(window, Child, 0);
  return TRUE;
}

int main(int argc, char **argv) {
  if (argc < 2) return 2;
  wanted = argv[1];
  EnumWindows(TopLevel, 0);
  fflush(stdout);
  return found ? 0 : 1;
}
