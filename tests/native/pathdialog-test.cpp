// INSTALL PATH and the destination dialog 1001, played by the scripted user
// over a drive C with staged free space, the in-memory registry and queued
// folder-browser answers.
#include "commands-test-support.h"
#include "interact.h"
#include "pathdialog.h"
#include "target-sys.h"
#include "resources/resource-ids.h"

namespace {

const char *kKey = "Software\\Acme\\Widget";
const char *kNotLocated = "The drive you have selected cannot be located.";
const char *kNoRoom = "The drive you have selected does not have enough free space.";

class PathDialogTest : public CommandsTest {
 protected:
  void SetUp() override {
    CommandsTest::SetUp();
    StrCopy(script.productName, "Widget");
    StrCopy(script.installDir, "Widget\\");
    TargetStandInSetFreeSpace('C', 10240ull * 1024, 40960ull * 1024, 20480ull * 1024);
  }
  // Runs INSTALL PATH with prompt; the user's actions are queued before.
  int InstallPath(const std::string &prompt = "Where should Widget go?") { return Run(CmdInstallPath, prompt); }
  void *Dialog() { return DialogStandInFind(IDD_PATH); }
  std::string Text(int id) {
    const char *text = DialogStandInControlText(Dialog(), id);
    return text ? text : "(none)";
  }
  std::string Figures() { return Text(IDC_PATH_FREE) + " " + Text(IDC_PATH_NEEDED) + " " + Text(IDC_PATH_AFTER); }
  std::vector<std::string> BoxTexts() {
    std::vector<std::string> out;
    for (const Box &b : Boxes()) out.push_back(b.text);
    return out;
  }
  // Browses to folder (as the shell gives it), then leaves with Exit Setup.
  void BrowseTo(const char *folder) {
    WinHelpersStandInQueueFolder(folder);
    DialogStandInQueuePress(IDC_PATH_BROWSE);
    DialogStandInQueuePress(DIALOG_IDCANCEL);
    EXPECT_EQ(0, InstallPath());
  }
};

TEST_F(PathDialogTest, TheDefaultProposalIsProgramFilesOnTheSystemDrive) {
  script.installSize = 2048;
  WinHelpersStandInSetSystemDir("C:\\WINNT\\SYSTEM32");
  DialogStandInQueueEnter();  // "Continue" is the default button
  EXPECT_EQ(1, InstallPath());
  EXPECT_EQ(23, consumed);
  EXPECT_STREQ("C:\\Program Files\\Widget\\", script.installPath);
  EXPECT_EQ(0, script.prompt[0]);  // cleared once the dialog has ended

  DialogStandInWindow dialog = DialogTestWindow(Dialog());
  EXPECT_EQ(window, dialog.owner);
  EXPECT_STREQ(PATH_CAPTION, dialog.caption);
  EXPECT_EQ(1, dialog.result);
  EXPECT_EQ((1024 - dialog.rect.right + dialog.rect.left) / 2, dialog.rect.left);  // centred on the desktop
  DialogStandInControl edit = DialogTestControl(Dialog(), IDC_PATH_EDIT);
  EXPECT_STREQ("C:\\Program Files\\Widget\\", edit.text);
  EXPECT_EQ(320, edit.limit);
  EXPECT_EQ(0, edit.selectionStart);
  EXPECT_EQ("Where should Widget go?", Text(IDC_PATH_PROMPT));
  EXPECT_EQ("10,240k 2,048k 8,192k", Figures());
  EXPECT_TRUE(Logged("Free Space Ex : 10240k 40960k 20480k\n"));
  EXPECT_EQ("C:\\\nC:\\\n", TargetStandInQueriedRoots());  // only the drive root reaches the query

  std::vector<Box> boxes = Boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("Install Widget into C:\\Program Files\\Widget\\?", boxes[0].text);
  EXPECT_EQ(PATH_CAPTION, boxes[0].caption);
  EXPECT_EQ(SYS_MB_YESNO | SYS_MB_ICONQUESTION, boxes[0].style);
  EXPECT_EQ(Dialog(), boxes[0].owner);
}

TEST_F(PathDialogTest, AShortPromptGivesWayToTheDefault) {
  DialogStandInQueueEnter();
  EXPECT_EQ(1, InstallPath("Go?"));
  EXPECT_EQ("Please select the destination directory...", Text(IDC_PATH_PROMPT));
}

TEST_F(PathDialogTest, AnEarlierInstallationIsProposedAsItStands) {
  StrCopy(script.registryPath, kKey);
  RegistryStandInSetText(REGROOT_CURRENT_USER, kKey, INSTALL_PATH_VALUE, "C:\\Old Place\\");
  DialogStandInQueueEnter();
  EXPECT_EQ(1, InstallPath());
  EXPECT_EQ("C:\\Old Place\\", Text(IDC_PATH_EDIT));
  EXPECT_STREQ("C:\\Old Place\\", script.installPath);
  std::string longer = "C:\\";  // longer than a record field, in another script
  for (int i = 0; i < 150; i++) longer += "\xe6\x97\xa5";
  RegistryStandInSetText(REGROOT_CURRENT_USER, kKey, INSTALL_PATH_VALUE, (longer + "\\").c_str());
  DialogStandInQueueEnter();
  EXPECT_EQ(1, InstallPath());
  EXPECT_EQ(longer + "\\", Text(IDC_PATH_EDIT));
}

TEST_F(PathDialogTest, WithoutAnEarlierInstallationTheDefaultStays) {
  StrCopy(script.registryPath, kKey);
  DialogStandInQueueEnter();
  EXPECT_EQ(1, InstallPath());
  EXPECT_TRUE(Logged("Unable to open 'Software\\Acme\\Widget'\n"));
  RegistryStandInSetText(REGROOT_CURRENT_USER, kKey, "Other", "x");
  DialogStandInQueueEnter();
  EXPECT_EQ(1, InstallPath());
  EXPECT_TRUE(Logged("Unable to get Install Path\n"));
  EXPECT_EQ("C:\\Program Files\\Widget\\", Text(IDC_PATH_EDIT));
}

TEST_F(PathDialogTest, ATypedDirectoryGetsItsBackslash) {
  DialogStandInQueueText(IDC_PATH_EDIT, "C:\\Apps\\My Widget");
  DialogStandInQueuePress(DIALOG_IDOK);
  EXPECT_EQ(1, InstallPath());
  EXPECT_STREQ("C:\\Apps\\My Widget\\", script.installPath);
  EXPECT_EQ("Install Widget into C:\\Apps\\My Widget\\?", BoxTexts().at(0));
}

TEST_F(PathDialogTest, TooLittleSpaceIsShownAndRefused) {
  script.installSize = 20000;
  DialogStandInQueuePress(DIALOG_IDOK);
  DialogStandInQueuePress(DIALOG_IDCANCEL);  // "Exit Setup"
  EXPECT_EQ(0, InstallPath());
  EXPECT_EQ("10,240k 20,000k Not enough space", Figures());
  std::vector<Box> boxes = Boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(kNoRoom, boxes[0].text);
  EXPECT_EQ(PROBLEM_CAPTION, boxes[0].caption);
  EXPECT_EQ(NULL, boxes[0].owner);
  EXPECT_EQ(SYS_MB_OK, boxes[0].style);
  EXPECT_EQ(0, DialogTestWindow(Dialog()).result);
}

TEST_F(PathDialogTest, ExactlyTheFreeSpacePasses) {
  script.installSize = 10240;
  DialogStandInQueueEnter();
  EXPECT_EQ(1, InstallPath());
  EXPECT_EQ("10,240k 10,240k 0k", Figures());
}

TEST_F(PathDialogTest, ADriveThatIsNotThereIsRefused) {
  DialogStandInQueueText(IDC_PATH_EDIT, "Q:\\Widget");
  DialogStandInQueuePress(DIALOG_IDOK);
  DialogStandInQueueText(IDC_PATH_EDIT, "\\\\server\\share\\Widget");
  DialogStandInQueuePress(DIALOG_IDOK);
  DialogStandInQueueText(IDC_PATH_EDIT, "");
  DialogStandInQueuePress(DIALOG_IDOK);
  DialogStandInQueueText(IDC_PATH_EDIT, "C:\\Widget");
  DialogStandInQueuePress(DIALOG_IDOK);
  EXPECT_EQ(1, InstallPath());
  EXPECT_EQ((std::vector<std::string>{kNotLocated, kNotLocated, kNotLocated, "Install Widget into C:\\Widget\\?"}),
            BoxTexts());
  EXPECT_STREQ("C:\\Widget\\", script.installPath);
}

// Entries without a drive letter, which the system would take as the
// current drive or a relative path, are refused without asking it.
TEST_F(PathDialogTest, AnEntryWithoutADriveLetterIsRefused) {
  for (const char *entry : {"\\", ".\\", "..\\x", "Widget", "\\Widget"}) {
    DialogStandInQueueText(IDC_PATH_EDIT, entry);
    DialogStandInQueuePress(DIALOG_IDOK);
  }
  DialogStandInQueueText(IDC_PATH_EDIT, "c:\\Widget");
  DialogStandInQueuePress(DIALOG_IDOK);
  EXPECT_EQ(1, InstallPath());
  std::vector<std::string> expected(5, kNotLocated);
  expected.push_back("Install Widget into c:\\Widget\\?");
  EXPECT_EQ(expected, BoxTexts());
  EXPECT_STREQ("c:\\Widget\\", script.installPath);
  std::string roots = TargetStandInQueriedRoots();
  for (size_t at = 0; at < roots.size(); at = roots.find('\n', at) + 1)
    EXPECT_EQ(':', roots[at + 1]) << roots;  // only roots with a drive letter were asked about
  // The stand-in answers for a root without a letter, as the system does.
  void *kernel, *entry;
  uint32_t error;
  uint64_t available, total, totalFree;
  ASSERT_EQ(1, TargetSysLoadKernel(&kernel, &error));
  ASSERT_EQ(1, TargetSysFindFreeSpaceEx(kernel, &entry));
  EXPECT_EQ(1, TargetSysFreeSpaceEx(entry, "\\", &available, &total, &totalFree));
  EXPECT_EQ(1, TargetSysFreeSpaceEx(entry, ".\\", &available, &total, &totalFree));
  TargetSysFreeKernel(kernel);
}

TEST_F(PathDialogTest, NoKeepsTheDialogAndEveryWayOutFails) {
  TestQueueBoxAnswer(SYS_IDNO);
  DialogStandInQueueEnter();
  DialogStandInQueueClose();  // the system menu's close counts as "Exit Setup"
  EXPECT_EQ(0, InstallPath());
  EXPECT_EQ(1u, Boxes().size());
  EXPECT_STREQ("C:\\Program Files\\", script.installPath);  // the default, never confirmed
  DialogStandInQueueEscape();
  EXPECT_EQ(0, InstallPath());
  DialogStandInQueuePress(DIALOG_IDCANCEL);
  EXPECT_EQ(0, InstallPath());
}

TEST_F(PathDialogTest, BrowsingProposesTheProductDirectoryBelowTheFolder) {
  BrowseTo("C:\\Apps");
  const WinHelpersStandInBrowse *browse = WinHelpersStandInLastBrowse();
  EXPECT_EQ(Dialog(), browse->owner);
  EXPECT_STREQ("Where should Widget go?", browse->title);
  EXPECT_STREQ("", browse->start);
  EXPECT_EQ("C:\\Apps\\Widget\\", Text(IDC_PATH_EDIT));
  EXPECT_STREQ("C:\\Apps\\", script.installPath);  // browsing changes it, only Continue confirms
}

TEST_F(PathDialogTest, BrowsingIntoTheProductDirectoryDoesNotRepeatIt) {
  BrowseTo("C:\\Apps\\WIDGET");
  EXPECT_EQ("C:\\Apps\\Widget\\", Text(IDC_PATH_EDIT));
  EXPECT_STREQ("C:\\Apps\\", script.installPath);
}

TEST_F(PathDialogTest, BrowsingBelowTheProductDirectoryKeepsTheFolder) {
  BrowseTo("C:\\widget\\Plugins");
  EXPECT_EQ("C:\\widget\\Plugins\\", Text(IDC_PATH_EDIT));
}

TEST_F(PathDialogTest, BrowsingIntoTheAlternativeNameKeepsIt) {
  StrCopy(script.installDirAlt, "Widget Pro\\");
  BrowseTo("C:\\Tools\\widget pro");
  EXPECT_EQ("C:\\Tools\\Widget Pro\\", Text(IDC_PATH_EDIT));
  EXPECT_STREQ("C:\\Tools\\", script.installPath);
}

TEST_F(PathDialogTest, BrowsingWithoutAProductDirectoryProposesTheFolder) {
  script.installDir[0] = 0;
  BrowseTo("C:\\Apps");
  EXPECT_EQ("C:\\Apps\\", Text(IDC_PATH_EDIT));
}

TEST_F(PathDialogTest, ACancelledBrowserChangesNothing) {
  WinHelpersStandInQueueFolder(NULL);
  DialogStandInQueuePress(IDC_PATH_BROWSE);
  DialogStandInQueueEnter();
  EXPECT_EQ(1, InstallPath());
  EXPECT_TRUE(Logged("Canceled Path selection\n"));
  EXPECT_STREQ("C:\\Program Files\\Widget\\", script.installPath);
}

TEST_F(PathDialogTest, ADirectoryThatDoesNotFitIsRefusedNotCut) {
  std::string longDir = "C:\\" + std::string(170, 'd');
  DialogStandInQueueText(IDC_PATH_EDIT, longDir.c_str());
  DialogStandInQueuePress(DIALOG_IDOK);
  WinHelpersStandInQueueFolder(("C:\\" + std::string(200, 'b')).c_str());
  DialogStandInQueuePress(IDC_PATH_BROWSE);
  DialogStandInQueuePress(DIALOG_IDCANCEL);
  EXPECT_EQ(0, InstallPath());
  EXPECT_EQ((std::vector<std::string>{PATH_TOO_LONG, PATH_TOO_LONG}), BoxTexts());
  EXPECT_EQ(longDir, Text(IDC_PATH_EDIT));  // the refused browse left the entry alone
  EXPECT_STREQ("C:\\Program Files\\", script.installPath);

  std::string fits = "C:\\" + std::string(155, 'f');  // 158 characters and the backslash
  DialogStandInQueueText(IDC_PATH_EDIT, fits.c_str());
  DialogStandInQueueEnter();
  EXPECT_EQ(1, InstallPath());
  EXPECT_EQ(fits + "\\", script.installPath);

  // Characters are counted, not bytes: 159 in Cyrillic (314 bytes) fit,
  // 160 do not.
  std::string cyrillic = "C:\\";
  for (int i = 0; i < 155; i++) cyrillic += "\xd0\xb4";
  DialogStandInQueueText(IDC_PATH_EDIT, (cyrillic + "\xd0\xb4\\").c_str());
  DialogStandInQueuePress(DIALOG_IDOK);
  DialogStandInQueueText(IDC_PATH_EDIT, cyrillic.c_str());
  DialogStandInQueueEnter();
  EXPECT_EQ(1, InstallPath());
  std::vector<std::string> boxes = BoxTexts();
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_EQ(PATH_TOO_LONG, boxes[boxes.size() - 2]);  // then the question before it is taken
  EXPECT_EQ(cyrillic + "\\", script.installPath);
}

TEST_F(PathDialogTest, WithoutTheModernQueryTheClustersAreCounted) {
  TargetStandInNoFreeSpaceEx(1);
  DialogStandInQueueEnter();
  EXPECT_EQ(1, InstallPath());
  EXPECT_TRUE(Logged("Free Space    : 10240k 8 512 2560 10240\n"));
  EXPECT_EQ("10,240k 0k 10,240k", Figures());
}

TEST_F(PathDialogTest, WhenTheSpaceCannotBeDeterminedTheFiguresSayNA) {
  TargetStandInFailKernel(0x7E);
  DialogStandInQueueEnter();
  DialogStandInQueuePress(DIALOG_IDCANCEL);
  EXPECT_EQ(0, InstallPath());
  EXPECT_TRUE(Logged("Unable to load library KERNEL32.DLL (0x0000007E)\n"));
  EXPECT_EQ("n/a 0k n/a", Figures());
  EXPECT_EQ((std::vector<std::string>{kNotLocated}), BoxTexts());
}

TEST_F(PathDialogTest, HugeDrivesAreHeldAtTheLargestFigure) {
  TargetStandInSetFreeSpace('C', 5ull << 40, 8ull << 40, 6ull << 40);  // terabytes
  script.installSize = 1000000;
  DialogStandInQueueEnter();
  EXPECT_EQ(1, InstallPath());
  EXPECT_EQ("2,147,483,647k 1,000,000k 2,146,483,647k", Figures());
  int32_t freeK = -1;
  char path[] = "C";
  EXPECT_EQ(0, DiskFreeK(&freeK, path));  // no drive root at all
  EXPECT_EQ(0, freeK);
}

// Each file takes whole clusters of the drive: 1,400 files of 121 bytes
// take 5,600k of a drive of 4,096-byte clusters, not the 166k of their
// bytes, and with UNINSTALL the uninstaller and its record come on top.
TEST_F(PathDialogTest, EveryListedFileCountsInWholeClustersAndTheUninstallerToo) {
  std::map<std::string, std::string> files;
  std::string list;
  for (int i = 0; i < 1400; i++) {
    files["F" + std::to_string(i)] = std::string(121, 'x');
    list += (i > 0 ? "," : "") + std::string("f") + std::to_string(i);
  }
  Mount(files);
  std::string text = MARK "UNINSTALL:\r\n" MARK "FILE LIST:" + list + "\r\n" MARK "INSTALL:\r\n";
  script.text = &text[0];
  script.textLength = (int32_t)text.size();
  script.installSize = 166;
  TargetStandInSetFreeSpace('C', 5600ull * 1024, 40960ull * 1024, 5600ull * 1024);
  DialogStandInQueueEnter();
  DialogStandInQueuePress(DIALOG_IDCANCEL);
  EXPECT_EQ(0, InstallPath());
  EXPECT_EQ(std::vector<std::string>{kNoRoom}, BoxTexts());
  EXPECT_TRUE(Logged(", 1400 files in clusters of 4096 bytes\n")) << Log();
  EXPECT_EQ("Not enough space", Text(IDC_PATH_AFTER));
  script.text = NULL;
}

}  // namespace
