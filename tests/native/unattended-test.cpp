// Unattended installs on the stand-ins: the switches, each command's answer
// for the absent person with its log line, the destination through the
// dialog's checks, and whole runs through InstallerMain with their exit codes
// and without a box or a dialog.

#include "commands-test-support.h"
#include "installer-run-support.h"
#include "mainwindow.h"
#include "pages-standin.h"
#include "pathdialog.h"
#include "process-standin.h"
#include "product.h"
#include "registry-standin.h"
#include "registry.h"
#include "exit-codes.h"
#include "interact.h"
#include "run.h"
#include "switches.h"
#include "uninstall.h"

namespace {

TEST(UnattendedSwitches, ModesAndTheDirectoryToTheEndOfTheText) {
  RunBegin("-debug -silent -dir=C:\\Some Where Else  \r\n");
  EXPECT_EQ(UNATTENDED_SILENT, UnattendedMode());
  EXPECT_STREQ("C:\\Some Where Else", DirSwitch());
  RunBegin("-passive -dir=\"D:\\Quoted Dir\"");
  EXPECT_EQ(UNATTENDED_PASSIVE, UnattendedMode());
  EXPECT_STREQ("D:\\Quoted Dir", DirSwitch());
  // Whole words, before the path: nothing inside the path is a switch.
  RunBegin("\"-dir=E:\\x-silent\" -passive");
  EXPECT_EQ(UNATTENDED_OFF, UnattendedMode());
  EXPECT_STREQ("E:\\x-silent\" -passive", DirSwitch());
  RunBegin("x-silent -silently \"-passive\" -dir=C:\\a -silent");
  EXPECT_EQ(UNATTENDED_PASSIVE, UnattendedMode());
  EXPECT_STREQ("C:\\a -silent", DirSwitch());
  EXPECT_EQ(0, UninstallRequested("-silent \"-dir=C:\\tools\\pre-uninstall-check\""));
  EXPECT_EQ(0, UninstallRequested("-uninstaller -x-uninstall"));
  // The uninstaller's copy: its original's path, written behind the arguments, is no switch either.
  const char *copy = "-uninstall -uninstall=C:\\Acme -silent -uninstall-end=x\\uninstall.exe";
  EXPECT_EQ(1, UninstallRequested(copy));
  RunBegin(copy);
  EXPECT_EQ(UNATTENDED_OFF, UnattendedMode());
  EXPECT_STREQ("C:\\Acme -silent -uninstall-end=x\\uninstall.exe", SwitchTail(copy, UNINSTALL_FROM_SWITCH));
  RunBegin("-debug -Silent");
  EXPECT_EQ(UNATTENDED_OFF, UnattendedMode());
  EXPECT_EQ(nullptr, DirSwitch());
  RunFail(EXIT_DAMAGED);
  RunFail(EXIT_COMMAND_FAILED);
  EXPECT_EQ(EXIT_DAMAGED, RunExitCode());  // the first reason stays
  RunBegin("");
  EXPECT_EQ(EXIT_INSTALLED, RunExitCode());
}

class UnattendedCommandsTest : public CommandsTest {
 protected:
  void SetUp() override {
    CommandsTest::SetUp();
    PagesStandInReset();
    StrCopy(script.productName, "Widget");
    StrCopy(script.installDir, "Widget\\");
    StrCopy(script.registryPath, "Software\\Acme\\Widget");
    script.installSize = 100;
  }
  void TearDown() override {
    EXPECT_EQ(0, DialogStandInDialogCount());
    EXPECT_EQ(0u, Boxes().size());
    EXPECT_EQ(0, PagesStandInStartCount());
    RunBegin("");
    CommandsTest::TearDown();
  }
};

TEST_F(UnattendedCommandsTest, EachCommandAnswersForTheAbsentPersonWithOneLine) {
  RunBegin("-silent");
  StrCopy(script.prompt, "Read me");
  EXPECT_EQ(1, Run(CmdMessage, "welcome.txt"));
  EXPECT_EQ(0, script.prompt[0]);
  EXPECT_EQ(1, Run(CmdAgreement, "license.txt"));
  EXPECT_EQ(1, Run(CmdRegister, "reg@example.com"));
  StrCopy(script.installPath, "C:\\Widget\\");
  EXPECT_EQ(1, Run(CmdNotepad, "readme.txt"));
  EXPECT_EQ(1, Run(CmdCreateGroup, "Widget"));
  EXPECT_EQ(1, Run(CmdAddItem, "bin\\app.exe" MARK "App"));
  EXPECT_EQ(1, Run(CmdAddItem, "bin\\app.exe --help" MARK "Help"));
  EXPECT_STREQ("", ShellStandInExecuted());  // Program Manager would open a window for the group
  EXPECT_STREQ(
      "folder C:\\Start Menu\\Programs\\Widget\n"
      "link C:\\Start Menu\\Programs\\Widget\\App.lnk -> C:\\Widget\\bin\\app.exe (App)\n"
      "link C:\\Start Menu\\Programs\\Widget\\Help.lnk -> C:\\Widget\\bin\\app.exe with --help (Help)\n",
      ShellStandInLinks());
  EXPECT_EQ(1, Run(CmdDone, "Enjoy!"));
  char value[REGISTRY_TEXT_SIZE] = "";
  RegistryKey key;
  ASSERT_EQ(1, RegistryOpen(&key, REGROOT_CURRENT_USER, script.registryPath));
  EXPECT_EQ(1, RegistryGetString(key, INSTALL_PATH_VALUE, value));
  RegistryClose(&key);
  EXPECT_STREQ("C:\\Widget\\", value);
  EXPECT_EQ(EXIT_INSTALLED, RunExitCode());
  EXPECT_EQ(
      "Unattended: message 'welcome.txt' continued\n"
      "Unattended: agreement 'license.txt' accepted\n"
      "Unattended: registration declined\n"
      "Unattended: 'C:\\Widget\\readme.txt' not opened in the editor\n"
      "Unattended: group 'C:\\Start Menu\\Programs\\Widget' made without Program Manager\n"
      "Unattended: item 'C:\\Start Menu\\Programs\\Widget\\App.lnk' made without Program Manager\n"
      "Unattended: item 'C:\\Start Menu\\Programs\\Widget\\Help.lnk' made without Program Manager\n"
      "Registry Open failed on 'Software\\Acme\\Widget'(0x00000002)\n"
      "Unattended: no box 'Installation Complete!': Enjoy!\n",
      Log());
}

TEST_F(UnattendedCommandsTest, TheDestinationIsTheDirectoryGivenOrTheProposal) {
  RunBegin("-silent -dir=C:\\Some Where Else");
  EXPECT_EQ(1, Run(CmdInstallPath, "Where?"));
  EXPECT_STREQ("C:\\Some Where Else\\", script.installPath);
  EXPECT_TRUE(Logged("Unattended: destination 'C:\\Some Where Else\\'\n"));

  RunBegin("-silent");  // the default proposal
  EXPECT_EQ(1, Run(CmdInstallPath, "Where?"));
  EXPECT_STREQ("C:\\Program Files\\Widget\\", script.installPath);
  RegistryKey key;  // then the earlier installation
  ASSERT_EQ(1, RegistryCreate(&key, REGROOT_CURRENT_USER, script.registryPath));
  RegistrySetString(key, INSTALL_PATH_VALUE, "C:\\Earlier\\");
  RegistryClose(&key);
  EXPECT_EQ(1, Run(CmdInstallPath, "Where?"));
  EXPECT_STREQ("C:\\Earlier\\", script.installPath);
  EXPECT_EQ(0, script.failure);
}

TEST_F(UnattendedCommandsTest, ADirectoryNoDestinationAskedForIsReportedAsUnused) {
  Mount({{"A.TXT", "a"}});
  FileList("a.txt");
  RunBegin("-silent -dir=C:\\Some Where Else");
  StrCopy(script.installPath, "C:\\Widget\\");
  EXPECT_EQ(1, Run(CmdInstall, ""));
  EXPECT_EQ(1, Run(CmdInstall, ""));  // said once
  std::string line = "-dir= not used: the script has no INSTALL PATH; the files go to 'C:\\Widget\\'\n";
  EXPECT_EQ(Log().find(line), Log().rfind(line));
  EXPECT_TRUE(Logged(line));
}

TEST_F(UnattendedCommandsTest, ARefusedDestinationEndsTheRunWithItsReason) {
  const std::string tooLong = "C:\\" + std::string(160, 'x');
  struct Case {
    std::string dir;
    uint64_t available;
    const char *reason;
  } cases[] = {
      {"D:\\Widget", 1 << 30, "The drive you have selected cannot be located."},
      {"C:\\Widget", 99 * 1024, "The drive you have selected does not have enough free space."},
      {tooLong, 1 << 30, PATH_TOO_LONG},
  };
  for (const Case &c : cases) {
    TargetStandInSetFreeSpace('C', c.available, 1ull << 31, c.available);
    RunBegin(("-silent -dir=" + c.dir).c_str());
    EXPECT_EQ(0, Run(CmdInstallPath, "Where?")) << c.dir;
    EXPECT_STREQ("C:\\Program Files\\", script.installPath);  // as after "Exit Setup"
    EXPECT_EQ(EXIT_DESTINATION, script.failure);
    EXPECT_TRUE(Logged("refused: " + std::string(c.reason) + "\n")) << c.dir;
  }
}

// Whole runs: an installer of a fake stub and the entries, run as the
// program with the switches given.
class UnattendedMainTest : public InstallerRunTest {
 protected:
  int Main(const std::string &script, const std::string &args, bool mount = true) {
    if (mount) WriteInstaller("unattended-setup", {{"install.dat", script}, {"app.txt", "app"}});
    return Run("unattended-setup", args);
  }
};

const char *kSetup =
    MARK "PRODUCT NAME:Widget\r\n" MARK "BREAK:\r\n" MARK "MESSAGE:welcome.txt\r\n"
    MARK "REGISTRY PATH:Software\\Acme\\Widget\r\n" MARK "INSTALL DIR:Widget\r\n" MARK "INSTALL PATH:Where?\r\n"
    MARK "FILE LIST:APP.TXT\r\n" MARK "INSTALL:\r\n" MARK "DONE:Bye\r\n";

TEST_F(UnattendedMainTest, SilentInstallsWithoutAWindowPassiveWithTheBackdrop) {
  EXPECT_EQ(0, Main(kSetup, "-debug -silent -dir=C:\\Some Where"));
  EXPECT_EQ("app", TestReadFile(drive + "/Some Where/APP.TXT"));
  EXPECT_STREQ("", MainWindowStandInEvents());
  EXPECT_NE(std::string::npos, Log().find("Unattended: silent, no window\r\n"));

  EXPECT_EQ(0, Main(kSetup, "-passive -debug"));  // the earlier installation's directory
  EXPECT_NE(std::string::npos, Log().find("Unattended: destination 'C:\\Some Where\\'\r\n"));
  EXPECT_STREQ("create show step destroy quit", MainWindowStandInEvents());
  EXPECT_EQ(0, TestBoxCount());
}

// Another installer of the product running ends the run before anything is
// written, with a box when attended; once it is gone the run installs.
TEST_F(UnattendedMainTest, AnotherInstallerOfTheProductRunningEndsTheRun) {
  SysStandInSetLockHeld(PRODUCT_LOCK_PREFIX "Acme Widget");
  EXPECT_EQ(EXIT_ANOTHER_RUNNING, Main(kSetup, "-debug -silent -dir=C:\\Some Where"));
  EXPECT_NE(std::string::npos, Log().find("Another installation of Widget is running.")) << Log();
  EXPECT_EQ(EXIT_ANOTHER_RUNNING, Main(kSetup, ""));
  ASSERT_EQ(1, TestBoxCount());
  EXPECT_EQ(std::string("Another installation of Widget is running. Wait until it has finished, then start this one again."),
            SysStandInLastBox()->text);
  EXPECT_STREQ("", MainWindowStandInEvents());
  EXPECT_FALSE(std::filesystem::exists(drive + "/Some Where"));
  SysStandInSetLockHeld(NULL);
  EXPECT_EQ(0, Main(kSetup, "-silent -dir=C:\\Some Where"));
  EXPECT_STREQ(PRODUCT_LOCK_PREFIX "Acme Widget", SysStandInLockTaken());
}

// A user install goes below the person's own program folder, and its entry
// is theirs; a machine install's is the machine's.
TEST_F(UnattendedMainTest, TheScopeChoosesTheFolderAndTheEntrysHive) {
  std::string script = MARK "INSTALL SCOPE:user\r\n" + std::string(kSetup) + MARK "UNINSTALL:\r\n";
  EXPECT_EQ(0, Main(script, "-silent"));
  EXPECT_EQ("app", TestReadFile(drive + "/Users/Person/AppData/Local/Programs/Widget/APP.TXT"));
  EXPECT_EQ(1, RegistryStandInKeyExists(REGROOT_CURRENT_USER, UNINSTALL_ARP_KEY "Acme Widget"));
  EXPECT_EQ(0, RegistryStandInKeyExists(REGROOT_LOCAL_MACHINE, UNINSTALL_ARP_KEY "Acme Widget"));
  EXPECT_EQ(0, Main(std::string(kSetup) + MARK "UNINSTALL:\r\n", "-silent -dir=C:\\Tools"));
  EXPECT_EQ(1, RegistryStandInKeyExists(REGROOT_LOCAL_MACHINE, UNINSTALL_ARP_KEY "Acme Widget"));
  EXPECT_EQ(0, RegistryStandInKeyExists(REGROOT_CURRENT_USER, UNINSTALL_ARP_KEY "Acme Widget"));
}

TEST_F(UnattendedMainTest, ASwitchInsideAPathIsPartOfThePath) {
  EXPECT_EQ(0, Main(kSetup, "-silent \"-dir=C:\\tools\\pre-uninstall-check\""));
  EXPECT_EQ("app", TestReadFile(drive + "/tools/pre-uninstall-check/APP.TXT"));
  // The uninstaller's copy (no record there: nothing to remove), not its last step.
  EXPECT_EQ(EXIT_NOT_INSTALLED, Main("", "-silent -uninstall -uninstall=C:\\A -uninstall-end=B\\uninstall.exe", false));
}

// UNINSTALL after INSTALL records the whole run all the same; a mark inside
// another command's arguments begins no command.
TEST_F(UnattendedMainTest, UninstallAfterInstallRecordsTheWholeRun) {
  EXPECT_EQ(0, Main(std::string(kSetup) + MARK "UNINSTALL:\r\n", "-silent -dir=C:\\Some Where"));
  std::string record = TestReadFile(drive + "/Some Where/uninstall.dat");
  for (char &c : record) c = (char)tolower((unsigned char)c);
  EXPECT_NE(std::string::npos, record.find("\nf\tc:\\some where\\app.txt\r\n")) << record;
  EXPECT_NE(std::string::npos, record.find("\nv\tsoftware\\acme\\widget\tinstall path\r\n")) << record;
  std::string quoted =
      std::string(kSetup) + MARK "CREATE GROUP:Widget\r\n" MARK "ADD ITEM:APP.TXT" MARK "UNINSTALL: the app\r\n";
  EXPECT_EQ(0, Main(quoted, "-silent -dir=C:\\Else"));
  std::filesystem::directory_iterator files(drive + "/Else");  // APP.TXT alone: no uninstaller
  EXPECT_EQ(1, std::distance(files, std::filesystem::directory_iterator()));
  // A name the command refuses ends the run before anything is written.
  EXPECT_EQ(EXIT_COMMAND_FAILED, Main(std::string(kSetup) + MARK "UNINSTALL:..\\x.exe\r\n", "-silent -dir=C:\\Third"));
  EXPECT_FALSE(std::filesystem::exists(drive + "/Third"));
}

TEST_F(UnattendedMainTest, EachFailureExitsWithItsCodeAndNoBox) {
  EXPECT_EQ(EXIT_DAMAGED, Main("", "-debug -silent", false));
  EXPECT_NE(std::string::npos, Log().find("Unattended: no box '" PROBLEM_CAPTION "': The installation file"));
  EXPECT_EQ(EXIT_COMMAND_FAILED, Main(MARK "NOPE:x\r\n", "-silent"));
  std::string missing = kSetup;
  missing.replace(missing.find("APP.TXT"), 7, "gone.txt");
  EXPECT_EQ(EXIT_COMMAND_FAILED, Main(missing, "-passive -debug"));
  EXPECT_NE(std::string::npos,
            Log().find("Unattended: no box 'Widget Installation...': " ABORT_QUESTION "\r\n"));
  EXPECT_EQ(EXIT_DESTINATION, Main(kSetup, "-passive -dir=Q:\\Nowhere"));
  EXPECT_EQ(EXIT_NOT_INSTALLED, Main(MARK "UPDATE:Install it first.\r\n" MARK "BREAK:\r\n", "-silent -debug"));
  EXPECT_NE(std::string::npos, Log().find("Unattended: no box '" PROBLEM_CAPTION "': Install it first.\r\n"));
  EXPECT_EXIT(Main(MARK "FONT:0|x.ttf\r\n", "-silent -debug"), testing::ExitedWithCode(EXIT_INTERNAL_ERROR),
              "^([^[]|\\[[^m])*\\[?$");  // no "[message box]" line
  EXPECT_NE(std::string::npos, Log().find("ABORT: Invalid"));
}

}  // namespace
