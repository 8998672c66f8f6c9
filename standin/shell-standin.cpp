// The shell seam's stand-in for the native build: a Program Manager that
// records the commands it is sent, libraries a test declares, a font table
// that counts, and switches that make each step fail.
#include <stdio.h>
#include <string.h>

#include "shell-standin.h"
#include "shell-sys.h"
#include "vantor-core.h"

#define STANDIN_LIBRARIES 8
#define STANDIN_ERROR_NOT_FOUND 0x7Eu

struct StandInLibrary {
  char path[VANTOR_PATH_SIZE];
  int exports;
  int32_t result;
};

struct StandInEntry {
  const StandInLibrary *library;
  const char *name;
};

static int failOle, failDde, noProgMan, failExecute, failFontAdd, failFontRemove;
static int conversation, librariesLoaded, fontCount, libraryCount;
static void *topWindow;
static StandInLibrary libraries[STANDIN_LIBRARIES];
static StandInEntry entries[2];
static char events[2048], executed[8192], calls[4096], links[4096];

static void Append(char *buffer, size_t size, const char *a, const char *b, const char *end) {
  size_t used = strlen(buffer);
  snprintf(buffer + used, size - used, "%s%s%s", a, b, end);
}

static void Record(const char *word) { Append(events, sizeof events, events[0] ? " " : "", word, ""); }

void ShellStandInReset(void) {
  failOle = failDde = noProgMan = failExecute = failFontAdd = failFontRemove = 0;
  librariesLoaded = fontCount = libraryCount = 0;
  topWindow = NULL;
  events[0] = executed[0] = calls[0] = links[0] = 0;
}
void ShellStandInFailOle(int fail) { failOle = fail; }
void ShellStandInFailDde(int fail) { failDde = fail; }
void ShellStandInNoProgMan(int absent) { noProgMan = absent; }
void ShellStandInFailExecute(int fail) { failExecute = fail; }
void ShellStandInFailFontAdd(int fail) { failFontAdd = fail; }
void ShellStandInFailFontRemove(int fail) { failFontRemove = fail; }
const char *ShellStandInEvents(void) { return events; }
const char *ShellStandInExecuted(void) { return executed; }
const char *ShellStandInLibraryCalls(void) { return calls; }
const char *ShellStandInLinks(void) { return links; }

int ShellProgramsFolder(char *folder, int size) {
  snprintf(folder, (size_t)size, "%s", "C:\\Start Menu\\Programs");
  return 1;
}

int ShellMakeFolder(const char *path) {
  Append(links, sizeof links, "folder ", path, "\n");
  return 1;
}

int ShellSaveLink(const char *linkPath, const char *target, const char *arguments, const char *description) {
  Append(links, sizeof links, "link ", linkPath, " -> ");
  if (arguments[0]) Append(links, sizeof links, target, " with ", arguments);
  else Append(links, sizeof links, target, "", "");
  Append(links, sizeof links, " (", description, "");
  Append(links, sizeof links, ")", "\n", "");
  return 1;
}
int ShellStandInLibrariesLoaded(void) { return librariesLoaded; }
int ShellStandInFontCount(void) { return fontCount; }
void *ShellStandInTopWindow(void) { return topWindow; }

void ShellStandInAddLibrary(const char *path, int exports, int32_t result) {
  if (libraryCount == STANDIN_LIBRARIES) return;
  StandInLibrary *l = &libraries[libraryCount++];
  snprintf(l->path, sizeof l->path, "%s", path);
  l->exports = exports;
  l->result = result;
}

int ShellOleInit(void) {
  Record("ole-init");
  return !failOle;
}
void ShellOleRemove(void) { Record("ole-remove"); }

int ShellDdeInit(uint32_t *instance) {
  Record("dde-init");
  *instance = failDde ? 0 : 1;
  return !failDde;
}
void ShellDdeRemove(uint32_t) { Record("dde-remove"); }

void *ShellDdeConnect(uint32_t, const char *service, const char *topic) {
  Record("connect");
  if (noProgMan || strcmp(service, "PROGMAN") || strcmp(topic, "PROGMAN")) return NULL;
  return &conversation;
}
void ShellDdeDisconnect(void *) { Record("disconnect"); }

int ShellDdeExecute(void *, const char *command) {
  Record("execute");
  if (failExecute) return 0;
  Append(executed, sizeof executed, "", command, "\n");
  return 1;
}

int ShellLibraryLoad(const char *path, void **library, uint32_t *error) {
  *library = NULL;
  *error = STANDIN_ERROR_NOT_FOUND;
  for (int i = 0; i < libraryCount; i++) {
    if (strcmp(libraries[i].path, path) != 0) continue;
    *library = &libraries[i];
    *error = 0;
    librariesLoaded++;
    return 1;
  }
  return 0;
}

int ShellLibraryEntry(void *library, const char *name, void **entry) {
  const StandInLibrary *l = (const StandInLibrary *)library;
  int slot = strcmp(name, "DllRegisterServer") == 0 ? 0 : strcmp(name, "DllUnregisterServer") == 0 ? 1 : -1;
  *entry = NULL;
  if (slot < 0 || !(l->exports & (1 << slot))) return 0;
  entries[slot].library = l;
  entries[slot].name = name;
  *entry = &entries[slot];
  return 1;
}

int32_t ShellLibraryCall(void *entry) {
  const StandInEntry *e = (const StandInEntry *)entry;
  Append(calls, sizeof calls, e->name, " ", "");
  Append(calls, sizeof calls, e->library->path, "\n", "");
  return e->library->result;
}

void ShellLibraryFree(void *) { librariesLoaded--; }

int ShellFontAdd(const char *, uint32_t *error) {
  *error = failFontAdd ? 2 : 0;
  if (failFontAdd) return 0;
  fontCount++;
  return 1;
}

int ShellFontRemove(const char *, uint32_t *error) {
  *error = failFontRemove ? 2 : 0;
  if (failFontRemove) return 0;
  fontCount--;
  return 1;
}

void ShellFontChanged(void) { Record("font-change"); }

void ShellBringToTop(void *window) {
  Record("top");
  topWindow = window;
}
