// The subcommands of ffsbuild. Each takes the arguments after its own name
// and returns the process exit code (0 success, 1 failure, 2 usage).
#ifndef BUILDER_COMMANDS_H
#define BUILDER_COMMANDS_H

#define FFSBUILD_VERSION "1.0.0"

// Archive commands (cmd-archive.cpp).
int CommandPack(int argc, char **argv);
int CommandStub(int argc, char **argv);
int CommandList(int argc, char **argv);
int CommandExtract(int argc, char **argv);
int CommandVerify(int argc, char **argv);

// Script commands (cmd-script.cpp).
int CommandCompile(int argc, char **argv);
int CommandDecompile(int argc, char **argv);
int CommandBuild(int argc, char **argv);

#endif
