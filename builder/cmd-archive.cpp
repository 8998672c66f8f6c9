// Archive subcommands: pack, stub, list, extract, verify.
#include <stdio.h>

#include "commands.h"

static int NotYet(const char *name) {
  fprintf(stderr, "ffsbuild: %s: not available yet\n", name);
  return 1;
}

int CommandPack(int, char **) { return NotYet("pack"); }
int CommandStub(int, char **) { return NotYet("stub"); }
int CommandList(int, char **) { return NotYet("list"); }
int CommandExtract(int, char **) { return NotYet("extract"); }
int CommandVerify(int, char **) { return NotYet("verify"); }
