#include "installer-run-support.h"

#include <stdio.h>

#include <filesystem>

#include "archive-writer.h"
#include "mainwindow-standin.h"
#include "process-standin.h"
#include "registry-standin.h"
#include "script-test-support.h"
#include "shell-standin.h"
#include "target-standin.h"
#include "test-support.h"
#include "unattended.h"
#include "uninstall-standin.h"
#include "uninstall.h"
#include "winmain.h"

namespace {

// The state a run leaves behind, as the test program starts with it.
void ResetRunState() {
  SysStandInSetCommandLine("unit-tests");
  SysStandInSetModulePath(NULL);
  UnattendedParse("");  // no switches, no exit code, the fatal box back
  UninstallReset();
  UninstallStandInReset();
  MainWindowStandInReset();
  ShellStandInReset();
  RegistryStandInClear();
  TargetStandInReset();
}

}  // namespace

void InstallerRunTest::SetUp() {
  TestWatchBoxes();
  ResetRunState();
  drive = std::filesystem::absolute("installer-run-drive-c").string();
  std::filesystem::remove_all(drive);
  std::filesystem::create_directories(drive);
  TargetStandInMapDrive('C', drive.c_str());
}

void InstallerRunTest::TearDown() {
  TestStopLog();
  TestRemoveFile("debug.log");
  for (const std::string &f : files) TestRemoveFile(f);
  std::filesystem::remove_all(drive);
  ResetRunState();
}

std::string InstallerRunTest::WriteProgram(const std::string &name, const std::vector<uint8_t> &bytes) {
  std::string path = name + ".exe";
  FILE *f = fopen(path.c_str(), "wb");
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  files.push_back(path);
  return path;
}

std::string InstallerRunTest::WriteInstaller(const std::string &name, const Entries &entries) {
  ArchiveWriter writer;
  std::string error;
  for (const auto &e : entries)
    EXPECT_TRUE(writer.Add(e.first, (const uint8_t *)e.second.data(), e.second.size(), ARCHIVE_RAW, &error)) << error;
  std::vector<uint8_t> stub(64, 'M'), out;
  EXPECT_TRUE(ArchiveWriteInstaller(stub, writer, &out, &error)) << error;
  return WriteProgram(name, out);
}

std::string InstallerRunTest::WriteScript(const std::string &name, const std::string &script) {
  return WriteInstaller(name, {{"install.dat", script}});
}

int InstallerRunTest::Run(const std::string &program, const std::string &args) {
  SysStandInSetCommandLine((program + " " + args).c_str());
  return InstallerMain(NULL, args.c_str());
}

std::string InstallerRunTest::Log() { return TestReadFile("debug.log"); }

bool InstallerRunTest::LogEndsWith(const std::string &tail) {
  std::string log = Log();
  return log.size() >= tail.size() && log.compare(log.size() - tail.size(), tail.size(), tail) == 0;
}

bool InstallerRunTest::EndsWithExit(int code) {
  return LogEndsWith(code == 0 ? "Successful Exit...\r\n" : "Exit with code " + std::to_string(code) + "...\r\n");
}
