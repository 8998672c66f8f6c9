// Whole runs of the installer on the stand-ins: an installer of a small fake
// stub and the entries written as a program, its command line set, and
// InstallerMain run with the arguments given. Every state a run touches (the
// boxes, the command line and module path, the log, the switches, the main
// window, the shell, registry, target and uninstaller stand-ins and the
// record) is reset here, before and after each case, and the files written
// are removed.
#ifndef INSTALLER_RUN_SUPPORT_H
#define INSTALLER_RUN_SUPPORT_H

#include <gtest/gtest.h>

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

class InstallerRunTest : public testing::Test {
 protected:
  typedef std::vector<std::pair<std::string, std::string>> Entries;
  void SetUp() override;
  void TearDown() override;
  // Writes name + ".exe", removed after the case, holding bytes; returns
  // its path.
  std::string WriteProgram(const std::string &name, const std::vector<uint8_t> &bytes);
  // ... holding an installer of a small fake stub and the entries (name,
  // content) stored raw.
  std::string WriteInstaller(const std::string &name, const Entries &entries);
  // ... holding the script alone, as install.dat.
  std::string WriteScript(const std::string &name, const std::string &script);
  // Runs InstallerMain with args as the program at path (without ".exe"):
  // the command line is "program args".
  int Run(const std::string &program, const std::string &args = "-debug");
  // debug.log as the last run left it, and whether its last line is tail
  // ("Successful Exit..." for code 0, else "Exit with code N...").
  std::string Log();
  bool LogEndsWith(const std::string &tail);
  bool EndsWithExit(int code = 0);
  // Host folder that drive C is mapped onto, fresh for each case.
  std::string drive;
  std::vector<std::string> files;  // removed after the case
};

#endif
