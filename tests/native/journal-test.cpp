// The run's journal: a failed first installation leaves nothing, a failed
// update leaves version 1 byte for byte, and an unfinished journal is undone
// by the next run before it changes anything.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "installer-run-support.h"
#include "journal.h"
#include "shell-standin.h"
#include "script-test-support.h"
#include "process-sys.h"
#include "script.h"
#include "vantor-core.h"

namespace {

void WriteFile(const std::string &path, const std::string &bytes) {
  FILE *f = fopen(path.c_str(), "wb");
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

class JournalTest : public InstallerRunTest {
 protected:
  int Main(const std::string &script, const std::string &content) {
    WriteInstaller("journal-setup", {{"install.dat", script}, {"app.txt", content}, {"sub\\app.txt", content}});
    return Run("journal-setup", "-debug -silent -dir=C:\\Maker\\Tool");
  }
};

const char *kInstall = MARK "REGISTRY PATH:Software\\Acme\\Tool\r\n" MARK "INSTALL DIR:Tool\r\n" MARK
                       "INSTALL PATH:Where?\r\n" MARK "FILE LIST:APP.TXT,SUB\\APP.TXT\r\n" MARK
                       "INSTALL:\r\n" MARK "DONE:Bye\r\n" MARK "UNINSTALL:\r\n";
const char *kFails = MARK "NOPE:after the copy\r\n";

TEST_F(JournalTest, AFailedRunIsUndoneAndAnUnfinishedOneBeforeTheNext) {
  // A first installation that fails after INSTALL and DONE: nothing stays.
  EXPECT_EQ(EXIT_COMMAND_FAILED, Main(std::string(kInstall) + kFails, "v2"));
  EXPECT_FALSE(std::filesystem::exists(drive + "/Maker")) << Log();
  EXPECT_EQ(0, RegistryStandInKeyExists(REGROOT_CURRENT_USER, "Software\\Acme"));
  EXPECT_NE(std::string::npos, Log().find("Rollback: the installation was undone; nothing was changed\r\n"));
  // A library it registered is unregistered, before its file goes.
  ShellStandInAddLibrary("C:\\Maker\\Tool\\APP.TXT", 3, 0);
  EXPECT_EQ(EXIT_COMMAND_FAILED, Main(std::string(kInstall) + MARK "OLE:REGISTER" MARK "APP.TXT\r\n" + kFails, "v2"));
  EXPECT_STREQ("DllRegisterServer C:\\Maker\\Tool\\APP.TXT\nDllUnregisterServer C:\\Maker\\Tool\\APP.TXT\n",
               ShellStandInLibraryCalls());
  EXPECT_FALSE(std::filesystem::exists(drive + "/Maker")) << Log();
  // Version 1, then an update that fails: version 1 as it was, no journal.
  EXPECT_EQ(0, Main(kInstall, "v1")) << Log();
  std::string record = TestReadFile(drive + "/Maker/Tool/uninstall.dat");
  EXPECT_FALSE(std::filesystem::exists(drive + "/Maker/Tool" JOURNAL_FOLDER));
  EXPECT_EQ(std::string::npos, Log().find("Rollback")) << Log();
  std::string earlier = "C:\\";  // an earlier value longer than a record field comes back whole
  for (int i = 0; i < 150; i++) earlier += "\xd0\x96";
  RegistryStandInSetText(REGROOT_CURRENT_USER, "Software\\Acme\\Tool", "Install Path", earlier.c_str());
  EXPECT_EQ(EXIT_COMMAND_FAILED, Main(std::string(kInstall) + kFails, "v2"));
  char value[800] = {0};
  uint32_t type = 0;
  RegistryStandInGetValue(REGROOT_CURRENT_USER, "Software\\Acme\\Tool", "Install Path", &type, value,
                          (int)sizeof value - 1, NULL);
  EXPECT_EQ(earlier, value);
  EXPECT_EQ("v1", TestReadFile(drive + "/Maker/Tool/APP.TXT"));
  EXPECT_EQ("v1", TestReadFile(drive + "/Maker/Tool/SUB/APP.TXT"));
  EXPECT_EQ(record, TestReadFile(drive + "/Maker/Tool/uninstall.dat"));
  EXPECT_FALSE(std::filesystem::exists(drive + "/Maker/Tool" JOURNAL_FOLDER));
  // A run that ended before its end left its journal: the next run undoes it.
  std::filesystem::create_directories(drive + "/Maker/Tool" JOURNAL_FOLDER);
  std::filesystem::create_directories(drive + "/Maker/Tool/NEW");
  WriteFile(drive + "/Maker/Tool/NEW/X.TXT", "x");
  std::filesystem::rename(drive + "/Maker/Tool/APP.TXT", drive + "/Maker/Tool" JOURNAL_FOLDER "/1");
  WriteFile(drive + "/Maker/Tool/APP.TXT", "half");
  WriteFile(drive + "/Maker/OTHER.TXT", "not ours");  // named by the journal, but outside the destination
  WriteFile(drive + "/Maker/Tool" JOURNAL_FOLDER "/journal",
                JOURNAL_HEAD "F\tC:\\Maker\\OTHER.TXT\r\nD\tC:\\Maker\\Tool\\NEW\r\nF\tC:\\Maker\\Tool\\NEW\\X.TXT\r\n"
                             "R\tC:\\Maker\\Tool\\APP.TXT\tC:\\Maker\\Tool" JOURNAL_FOLDER "\\1\r\nF\tC:\\cut");
  EXPECT_EQ(EXIT_COMMAND_FAILED, Main(std::string(kInstall) + kFails, "v2"));
  EXPECT_NE(std::string::npos, Log().find("Rollback: an unfinished installation to 'C:\\Maker\\Tool\\' is undone"));
  EXPECT_NE(std::string::npos, Log().find("Unattended: no box '" PROBLEM_CAPTION "': " JOURNAL_RECOVERED));
  EXPECT_EQ("v1", TestReadFile(drive + "/Maker/Tool/APP.TXT"));
  EXPECT_FALSE(std::filesystem::exists(drive + "/Maker/Tool/NEW"));
  EXPECT_FALSE(std::filesystem::exists(drive + "/Maker/Tool" JOURNAL_FOLDER));
  EXPECT_EQ("not ours", TestReadFile(drive + "/Maker/OTHER.TXT"));
}

// An update keeps a file whose bytes are the same as they are, and replaces
// one of the same size that differs only late, past the first piece, once
// its line is on the disk.
TEST_F(JournalTest, AnUpdateKeepsTheFilesItWouldNotChange) {
  std::string big(5u << 19, 'x'), later = big;
  for (size_t i = 0; i < big.size(); i++) big[i] = later[i] = (char)(i * 7 % 251);
  later[big.size() - 100] ^= 1;
  auto update = [&](const std::string &script, const std::string &app) {
    WriteInstaller("journal-setup", {{"install.dat", script}, {"app.txt", app}, {"sub\\app.txt", "same"}});
    return Run("journal-setup", "-debug -silent -dir=C:\\Maker\\Tool");
  };
  EXPECT_EQ(0, update(kInstall, big)) << Log();
  std::string kept = drive + "/Maker/Tool/SUB/APP.TXT";
  auto old = std::filesystem::last_write_time(kept) - std::chrono::hours(24);
  std::filesystem::last_write_time(kept, old);
  EXPECT_EQ(EXIT_COMMAND_FAILED, update(std::string(kInstall) + kFails, later));
  EXPECT_TRUE(big == TestReadFile(drive + "/Maker/Tool/APP.TXT"));
  EXPECT_EQ(0, update(kInstall, later)) << Log();
  EXPECT_TRUE(later == TestReadFile(drive + "/Maker/Tool/APP.TXT"));
  EXPECT_EQ(old, std::filesystem::last_write_time(kept));
  EXPECT_NE(std::string::npos, TestReadFile(drive + "/Maker/Tool/uninstall.dat").find("SUB\\APP.TXT"));
  EXPECT_EQ(0, update(kInstall, later)) << Log();  // nothing differs: nothing is written
  EXPECT_TRUE(later == TestReadFile(drive + "/Maker/Tool/APP.TXT"));
  EXPECT_EQ(0, TargetStandInUnflushedMoves());  // each file moved aside had its line on the disk first
  // A link with the same bytes behind it is replaced by the file itself.
  WriteFile(drive + "/elsewhere.txt", "same");
  std::filesystem::remove(kept);
  std::filesystem::create_symlink(drive + "/elsewhere.txt", kept);
  EXPECT_EQ(0, update(kInstall, later)) << Log();
  EXPECT_FALSE(std::filesystem::is_symlink(kept));
  EXPECT_EQ("same", TestReadFile(kept));
}

// A box answered by the person who closes the program holding the file.
int LetGoAndRetry(void *, const char *, const char *, uint32_t) {
  TargetStandInFreeBusy();
  return SYS_IDRETRY;
}
int CancelBox(void *, const char *, const char *, uint32_t) { return SYS_IDCANCEL; }

TEST_F(JournalTest, AFileInUseIsRetriedCancelledFailedOrReplacedAtRestart) {
  const char *app = "C:\\Maker\\Tool\\APP.TXT";
  EXPECT_EQ(0, Main(kInstall, "v1")) << Log();
  // Attended: the box names the file and its holder; Retry once it lets go.
  RunBegin("");  // attended again
  static InstallScript script;
  char destination[] = "C:\\Maker\\Tool\\", written[VANTOR_PATH_SIZE];
  JournalUse(destination);
  TargetStandInSetBusy(app, "Tool Viewer");
  SysSetMessageBoxHook(LetGoAndRetry);
  EXPECT_EQ(1, JournalFile(&script, app, 0, written));
  EXPECT_STREQ(app, written);
  const SysBoxRecord *box = SysStandInLastBox();
  EXPECT_EQ(std::string("The file 'C:\\Maker\\Tool\\APP.TXT' is in use by Tool Viewer.\n\nClose the program, then "
                        "choose Retry; or choose Cancel to undo the installation."), box->text);
  EXPECT_EQ(SYS_MB_RETRYCANCEL | SYS_MB_ICONEXCLAMATION, box->style);
  // Cancel: the command fails as the person's answer, and the run is undone.
  TargetStandInSetBusy("C:\\Maker\\Tool\\SUB\\APP.TXT");
  SysSetMessageBoxHook(CancelBox);
  EXPECT_EQ(0, JournalFile(&script, "C:\\Maker\\Tool\\SUB\\APP.TXT", 0, written));
  EXPECT_EQ(EXIT_CANCELLED, script.failure);
  EXPECT_EQ(1, JournalCancelled());
  EXPECT_EQ(std::string::npos, std::string(SysStandInLastBox()->text).find(" by "));  // no holder named
  JournalRollback(0);
  EXPECT_EQ("v1", TestReadFile(drive + "/Maker/Tool/APP.TXT"));
  TargetStandInFreeBusy();
  TestWatchBoxes();
  // Unattended, a user install: the run fails with its own code, undone.
  const std::string user = std::string(MARK "INSTALL SCOPE:user\r\n" MARK "FILES IN USE:restart\r\n") + kInstall;
  TargetStandInSetBusy(app, "Tool Viewer");
  EXPECT_EQ(EXIT_FILE_IN_USE, Main(user, "v2"));
  EXPECT_NE(std::string::npos, Log().find("File in use (32): '" + std::string(app) + "'")) << Log();
  EXPECT_EQ("v1", TestReadFile(drive + "/Maker/Tool/APP.TXT"));
  EXPECT_EQ("", TargetStandInRestartMoves());
  // Unattended, a machine install that replaces at restart: beside, swapped later.
  const std::string machine = std::string(MARK "FILES IN USE:restart\r\n") + kInstall;
  EXPECT_EQ(EXIT_RESTART_NEEDED, Main(machine, "v2")) << Log();
  EXPECT_EQ(std::string(app) + JOURNAL_BESIDE "\t" + app + "\n", TargetStandInRestartMoves());
  EXPECT_EQ("v1", TestReadFile(drive + "/Maker/Tool/APP.TXT"));
  EXPECT_EQ("v2", TestReadFile(drive + "/Maker/Tool/APP.TXT" JOURNAL_BESIDE));
  EXPECT_EQ("v2", TestReadFile(drive + "/Maker/Tool/SUB/APP.TXT"));
  EXPECT_NE(std::string::npos, Log().find("Unattended: no box '" JOURNAL_RESTART_CAPTION "': " JOURNAL_RESTART));
  EXPECT_FALSE(std::filesystem::exists(drive + "/Maker/Tool" JOURNAL_FOLDER));
  EXPECT_EQ(std::string::npos, TestReadFile(drive + "/Maker/Tool/uninstall.dat").find(JOURNAL_BESIDE));
  // The system refuses the next swap: the run is undone, and the file
  // beside, still waiting for the first restart, is the first run's again.
  TargetStandInFailRestart(1);
  EXPECT_EQ(EXIT_COMMAND_FAILED, Main(machine, "v3"));
  EXPECT_EQ("v2", TestReadFile(drive + "/Maker/Tool/SUB/APP.TXT"));
  EXPECT_EQ("v2", TestReadFile(drive + "/Maker/Tool/APP.TXT" JOURNAL_BESIDE));
  std::filesystem::remove(drive + "/Maker/Tool/APP.TXT" JOURNAL_BESIDE);
  EXPECT_EQ(EXIT_COMMAND_FAILED, Main(machine, "v3"));  // the file beside it was new: it goes
  EXPECT_FALSE(std::filesystem::exists(drive + "/Maker/Tool/APP.TXT" JOURNAL_BESIDE));
}

// A file written that a program holds when the run is undone: the journal
// stays, and the next run finishes the undoing first; while the file is
// still held, that run changes nothing. A backup held when a run ends well.
TEST_F(JournalTest, WhatCannotBeUndoneYetIsUndoneByTheNextRun) {
  const char *app = "C:\\Maker\\Tool\\APP.TXT";
  EXPECT_EQ(0, Main(kInstall, "v1")) << Log();
  static InstallScript script;
  char destination[] = "C:\\Maker\\Tool\\", written[VANTOR_PATH_SIZE];
  JournalUse(destination);
  EXPECT_EQ(1, JournalFile(&script, app, 0, written));
  WriteFile(drive + "/Maker/Tool/APP.TXT", "v2");
  TargetStandInSetBusy(app, "Tool");
  JournalRollback(0);
  EXPECT_TRUE(std::filesystem::exists(drive + "/Maker/Tool" JOURNAL_FOLDER "/journal"));
  EXPECT_NE(std::string::npos, Log().find("Rollback: unable to undo 'C:\\Maker\\Tool\\APP.TXT' (32)"));
  EXPECT_NE(std::string::npos, Log().find("Rollback: 1 changes could not be undone; the journal stays"));
  EXPECT_EQ(EXIT_COMMAND_FAILED, Main(kInstall, "v3"));  // still held: nothing changes
  EXPECT_NE(std::string::npos, Log().find(JOURNAL_STUCK)) << Log();
  EXPECT_EQ("v2", TestReadFile(drive + "/Maker/Tool/APP.TXT"));
  EXPECT_EQ("v1", TestReadFile(drive + "/Maker/Tool/SUB/APP.TXT"));
  TargetStandInFreeBusy();
  EXPECT_EQ(0, Main(kInstall, "v3")) << Log();
  EXPECT_NE(std::string::npos, Log().find("Rollback: restored 'C:\\Maker\\Tool\\APP.TXT'"));
  EXPECT_EQ("v3", TestReadFile(drive + "/Maker/Tool/APP.TXT"));
  EXPECT_FALSE(std::filesystem::exists(drive + "/Maker/Tool" JOURNAL_FOLDER));
  // A backup a running program still holds when a run ends well goes when
  // Windows restarts; until then the next runs pass its number over.
  const std::string first = "C:\\Maker\\Tool" JOURNAL_FOLDER "\\1";
  JournalUse(destination);
  EXPECT_EQ(1, JournalFile(&script, app, 0, written));
  TargetStandInSetBusy(first.c_str(), "Tool");
  EXPECT_EQ(0, JournalEnd());
  EXPECT_EQ(first + "\t\nC:\\Maker\\Tool" JOURNAL_FOLDER "\t\n", TargetStandInRestartMoves());
  EXPECT_EQ(0, Main(kInstall, "v4")) << Log();
  EXPECT_EQ("v4", TestReadFile(drive + "/Maker/Tool/APP.TXT"));
  EXPECT_EQ("v3", TestReadFile(drive + "/Maker/Tool" JOURNAL_FOLDER "/1"));
  TargetStandInFreeBusy();
  EXPECT_EQ(0, Main(kInstall, "v5")) << Log();
  EXPECT_FALSE(std::filesystem::exists(drive + "/Maker/Tool" JOURNAL_FOLDER));
}

// A fatal error after the copy (the product's key cannot be made) undoes
// the run before the process ends.
TEST_F(JournalTest, AFatalErrorUndoesTheRunBeforeTheEnd) {
  EXPECT_EXIT(
      {
        RegistryStandInFailNext(REGISTRY_STANDIN_CREATE, 5);
        Main(kInstall, "v1");
      },
      testing::ExitedWithCode(1), "");
  EXPECT_FALSE(std::filesystem::exists(drive + "/Maker")) << Log();
  EXPECT_NE(std::string::npos, Log().find("ABORT: Unable to create key"));
  EXPECT_NE(std::string::npos, Log().find("Rollback: the installation was undone; nothing was changed\r\n"));
}

}  // namespace
