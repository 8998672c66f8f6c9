// Whole runs of the installer on the stand-ins: an installer of a fake stub
// and its entries written as a program, its command line set, InstallerMain
// run. Every state a run touches (boxes, command line, module path, log,
// switches, uninstall record, the stand-ins' controls and records) is reset
// before and after each case, and the files written are removed.
#ifndef INSTALLER_RUN_SUPPORT_H
#define INSTALLER_RUN_SUPPORT_H

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "archive-writer.h"
#include "mainwindow-standin.h"
#include "process-standin.h"
#include "registry-standin.h"
#include "script-test-support.h"
#include "shell-standin.h"
#include "target-standin.h"
#include "test-support.h"
#include "exit-codes.h"
#include "interact.h"
#include "run.h"
#include "switches.h"
#include "uninstall-standin.h"
#include "uninstall.h"
#include "program.h"

class InstallerRunTest : public testing::Test {
 protected:
  void SetUp() override {
    TestWatchBoxes();
    ResetRunState();
    drive = std::filesystem::absolute("installer-run-drive-c").string();
    std::filesystem::remove_all(drive);
    std::filesystem::create_directories(drive);
    TargetStandInMapDrive('C', drive.c_str());
  }
  void TearDown() override {
    TestStopLog();
    TestRemoveFile("debug.log");
    for (const std::string &f : files) TestRemoveFile(f);
    std::filesystem::remove_all(drive);
    ResetRunState();
  }
  // The state a run leaves behind, as the test program starts with it.
  static void ResetRunState() {
    SysStandInSetCommandLine("unit-tests");
    SysStandInSetModulePath(NULL);
    SysStandInSetLockHeld(NULL);
    RunBegin("");  // no switches, no exit code, the fatal box back
    UninstallReset();
    UninstallStandInReset();
    MainWindowStandInReset();
    ShellStandInReset();
    RegistryStandInClear();
    TargetStandInReset();
  }
  // Writes name + ".exe" holding bytes; returns its path.
  std::string WriteProgram(const std::string &name, const std::vector<uint8_t> &bytes) {
    files.push_back(name + ".exe");
    FILE *f = fopen(files.back().c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return files.back();
  }
  // ... holding an installer of a small fake stub and the entries (name,
  // content) stored raw; or of the script alone, as install.dat.
  std::string WriteInstaller(const std::string &name, const std::vector<std::pair<std::string, std::string>> &entries) {
    ArchiveWriter writer;
    std::string error;
    for (const auto &e : entries)
      EXPECT_TRUE(writer.Add(e.first, (const uint8_t *)e.second.data(), e.second.size(), ARCHIVE_RAW, &error))
          << error;
    std::vector<uint8_t> stub(64, 'M'), out;
    EXPECT_TRUE(ArchiveWriteInstaller(stub, writer, &out, &error)) << error;
    return WriteProgram(name, out);
  }
  std::string WriteScript(const std::string &name, const std::string &script) {
    return WriteInstaller(name, {{"install.dat", script}});
  }
  // Runs InstallerMain with args as the program at path (without ".exe"):
  // the command line is "program args".
  int Run(const std::string &program, const std::string &args = "-debug") {
    SysStandInSetCommandLine((program + " " + args).c_str());
    return InstallerMain(NULL, args.c_str());
  }
  // Writes the script's installer as name + ".exe" and runs it.
  int RunScript(const std::string &name, const std::string &script, const std::string &args = "-debug") {
    WriteScript(name, script);
    return Run(name, args);
  }
  // debug.log as the last run left it, and whether its last line is
  // "Successful Exit..." (code 0), else "Exit with code N...".
  std::string Log() { return TestReadFile("debug.log"); }
  bool EndsWithExit(int code = 0) {
    std::string log = Log();
    std::string tail = code == 0 ? "Successful Exit...\r\n" : "Exit with code " + std::to_string(code) + "...\r\n";
    return log.size() >= tail.size() && log.compare(log.size() - tail.size(), tail.size(), tail) == 0;
  }
  std::string drive;               // the host folder of drive C
  std::vector<std::string> files;  // removed after the case
};

#endif
