/* Prints what a user reads in the visible top-level windows titled as the
   argument: for each such window a line "window: TITLE", then one line per
   child control "CLASS ID: TEXT", and for a text box of several lines a line
   "first-line id=ID: N" with the first line it shows, "selection id=ID: START END"
   and "edit-text id=ID: TEXT" with its line ends written as \r and \n. Run under Wine beside the program under
   test; exits 1 when no such window is up. Built by tests/e2e/example.py
   with the cross compiler. Texts are read with the wide-character calls and
   printed in UTF-8, and the title is compared in UTF-8, so that texts in any
   script come through whatever the prefix's code page. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static char wanted[1024];
static int found;

/* The text of window as UTF-8 into text (size bytes); "" when it does not answer. */
static void TextOf(HWND window, char *text, int size) {
  WCHAR wide[1024];
  DWORD_PTR unusedResult;
  wide[0] = 0;
  /* A window whose thread does not answer is shown without its text. */
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, (LPARAM)wide, SMTO_ABORTIFHUNG, 2000, &unusedResult)) wide[0] = 0;
  if (!WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, size, NULL, NULL)) text[0] = 0;
}

static BOOL CALLBACK Child(HWND child, LPARAM unused) {
  char name[64], text[4096];
  (void)unused;
  GetClassNameA(child, name, sizeof name);
  DWORD_PTR unusedResult;
  TextOf(child, text, sizeof text);
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
  char title[2048];
  (void)unused;
  if (!IsWindowVisible(window)) return TRUE;
  TextOf(window, title, sizeof title);
  if (strcmp(title, wanted) != 0) return TRUE;
  found++;
  printf("window: %s\n", title);
  EnumChildWindows(window, Child, 0);
  return TRUE;
}

int main(void) {
  int argc = 0;
  LPWSTR *argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == NULL || argc < 2 || !WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, wanted, sizeof wanted, NULL, NULL))
    return 2;
  EnumWindows(TopLevel, 0);
  fflush(stdout);
  return found ? 0 : 1;
}
