// The switches of the argument text and the "-dir=" path.
#include "switches.h"

#include <string.h>

#include "vantor-core.h"
#include "vantor-str.h"

#define DIR_SWITCH "-dir="

static int haveDir;
static int dirAsked;  // a destination proposal has read the "-dir=" path
static char dir[DIR_SWITCH_SIZE];

// The words of the argument text are the runs of characters between blanks
// and control characters.
static int Blank(char c) { return c != 0 && (unsigned char)c <= ' '; }

// What follows name in the word at word when the word begins with it (one
// double quote before it dropped); with whole, only when the word is name
// (one double quote behind it dropped). Else NULL.
static const char *WordMatch(const char *word, const char *name, int whole) {
  if (*word == '"') word++;
  while (*name != 0)
    if (*word++ != *name++) return NULL;
  if (!whole) return word;
  if (*word == '"') word++;
  return *word == 0 || Blank(*word) ? word : NULL;
}

// The first word matching name (WordMatch); with whole, only among the
// words before the first that begins with a switch taking the rest of the
// text.
static const char *FindSwitch(const char *args, const char *name, int whole) {
  for (const char *word = args; *word != 0; word++) {
    if ((word != args && !Blank(word[-1])) || Blank(*word)) continue;
    if (whole && (WordMatch(word, DIR_SWITCH, 0) || WordMatch(word, UNINSTALL_FROM_SWITCH, 0) ||
                  WordMatch(word, UNINSTALL_END_SWITCH, 0)))
      return NULL;
    const char *rest = WordMatch(word, name, whole);
    if (rest != NULL) return rest;
  }
  return NULL;
}

int SwitchGiven(const char *args, const char *name) { return FindSwitch(args, name, 1) != NULL; }
const char *SwitchTail(const char *args, const char *name) { return FindSwitch(args, name, 0); }

// The text behind "-dir=": trailing blanks and control characters dropped,
// then one double quote at each end.
static void TakeDir(const char *text) {
  StrCopyN(dir, text, DIR_SWITCH_SIZE);
  int length = StrLength(dir);
  while (length > 0 && (unsigned char)dir[length - 1] <= ' ') dir[--length] = 0;
  if (length > 0 && dir[length - 1] == '"') dir[--length] = 0;
  if (dir[0] == '"') memmove(dir, dir + 1, (size_t)length);
}

int DirSwitchParse(const char *args) {
  ASSERT(args != NULL, POINTER_IS_NULL);
  const char *found = SwitchTail(args, DIR_SWITCH);
  haveDir = found != NULL;
  dirAsked = 0;
  dir[0] = 0;
  if (haveDir) TakeDir(found);
  return 1;
}

const char *DirSwitch(void) {
  dirAsked = 1;
  return haveDir ? dir : NULL;
}

void DirSwitchInstallBegins(const char *installPath) {
  ASSERT(installPath != NULL, POINTER_IS_NULL);
  if (haveDir && !dirAsked)
    DebugPrintf("-dir= not used: the script has no INSTALL PATH; the files go to '%s'\n", installPath);
  dirAsked = 1;
}
