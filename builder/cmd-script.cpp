// Script subcommands: compile, decompile, build.
#include <stdio.h>

#include "commands.h"

static int NotYet(const char *name) {
  fprintf(stderr, "ffsbuild: %s: not available yet\n", name);
  return 1;
}

int CommandCompile(int, char **) { return NotYet("compile"); }
int CommandDecompile(int, char **) { return NotYet("decompile"); }
int CommandBuild(int, char **) { return NotYet("build"); }
