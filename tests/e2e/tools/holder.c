/* Holds a file as a running program does: opens the file named by the first
   argument with no sharing at all, then creates the file named by the
   second to say so, and keeps the file open until a file named by the third
   appears (looked for every 100 ms) or two minutes have passed. Exits 1 when
   the file cannot be opened. Built by tests/e2e/test_inuse.py with the
   cross compiler. */
#include <windows.h>

int main(int argc, char **argv) {
  if (argc < 4) return 2;
  HANDLE held = CreateFileA(argv[1], GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (held == INVALID_HANDLE_VALUE) return 1;
  HANDLE told = CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (told != INVALID_HANDLE_VALUE) CloseHandle(told);
  for (int i = 0; i < 1200 && GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES; i++) Sleep(100);
  CloseHandle(held);
  return 0;
}
