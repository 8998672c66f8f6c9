// INSTALL, UPDATE and DONE over the stand-ins: files from a mounted archive
// written below a destination on a mapped drive, the progress window, the
// registry value and the boxes.
#include <sys/stat.h>

#include "commands-test-support.h"
#include "ffs-test-support.h"
#include "pages.h"
#include "interact.h"
#include "pathdialog.h"
#include "target.h"

namespace {

void NoNote(const char *) {}

class InstallTest : public CommandsTest {
 protected:
  void SetUp() override {
    CommandsTest::SetUp();
    ASSERT_EQ(1, ProgressCreate(NULL, window));
    StrCopyN(script.installPath, "C:\\Program Files\\Widget\\", SCRIPT_FIELD_SIZE);
  }
  void TearDown() override {
    ProgressDestroy();
    CommandsTest::TearDown();
  }
  DialogStandInWindow Progress() { return DialogTestWindow(ProgressWindow()); }
  int ProgressPosition() { return DialogTestControl(ProgressWindow(), 1012).position; }
};

// Names keep the letter case the script gives them; the archive finds them in any case.
TEST_F(InstallTest, EveryListedFileLandsBelowTheDestinationWithTheScriptsLetterCase) {
  std::string big(3000, 'b');
  for (size_t i = 0; i < big.size(); i++) big[i] = (char)(i * 7);
  Mount({{"SETUP.EXE", "MZ program"}, {"DATA\\SUB\\BIG.BIN", big}, {"README.TXT", "Read me.\r\n"}});
  FileList("setup.exe,data\\sub\\big.bin,Readme.txt");
  EXPECT_EQ(1, Run(CmdInstall, ""));
  EXPECT_EQ(0, consumed);
  EXPECT_EQ("MZ program", TestReadFile(OnDrive("Program Files/Widget/setup.exe")));
  EXPECT_EQ(big, TestReadFile(OnDrive("Program Files/Widget/data/sub/big.bin")));
  EXPECT_EQ("Read me.\r\n", TestReadFile(OnDrive("Program Files/Widget/Readme.txt")));
  // Outermost first; each level is made once it is missing.
  EXPECT_EQ("C:\\Program Files\n"
            "C:\\Program Files\\Widget\n"
            "C:\\Program Files\\Widget\\data\n"
            "C:\\Program Files\\Widget\\data\\sub\n",
            TargetStandInCreatedDirs());
  EXPECT_FALSE(Progress().visible);  // shown for the copy, hidden at its end
  EXPECT_EQ(0, ProgressPosition());  // no size given: the bar never moved
}

TEST_F(InstallTest, TheBarMovesBeforeEachFileAndHalfwayThroughIt) {
  Mount({{"A.BIN", std::string(1024, 'a')}, {"B.BIN", std::string(2048, 'b')}});
  FileList("a.bin,b.bin");
  script.installSize = 3;  // kilobytes
  EXPECT_EQ(1, Run(CmdInstall, ""));
  EXPECT_EQ(666, ProgressPosition());  // last step: (1024 + 2048 / 2) of 3072 bytes
}

TEST_F(InstallTest, WithoutAFileListNothingIsWritten) {
  EXPECT_EQ(1, Run(CmdInstall, ""));
  EXPECT_EQ("", TargetStandInCreatedDirs());
  EXPECT_FALSE(Progress().visible);
}

TEST_F(InstallTest, TwoCommasInARowStopAtTheEmptyName) {
  Mount({{"A.TXT", "a"}, {"B.TXT", "b"}});
  FileList("a.txt,,b.txt");
  EXPECT_EQ(0, Run(CmdInstall, ""));
  EXPECT_TRUE(Logged("Unable to get size for ''\n"));
  EXPECT_EQ("a", TestReadFile(OnDrive("Program Files/Widget/a.txt")));
  EXPECT_FALSE(TestFileExists(OnDrive("Program Files/Widget/b.txt")));
  EXPECT_TRUE(Progress().visible);  // a failure leaves the window up
}

TEST_F(InstallTest, AMissingOrDamagedEntryFailsTheCommand) {
  Mount({{"A.TXT", "a"}});
  FileList("a.txt,gone.txt");
  EXPECT_EQ(0, Run(CmdInstall, ""));
  EXPECT_TRUE(Logged("Unable to get size for 'gone.txt'\n"));
  Mount({{"A.TXT", "a"}, {"B.TXT", std::string(300, 'b')}}, "B.TXT");
  FileList("a.txt,b.txt");
  EXPECT_EQ(0, Run(CmdInstall, ""));
  EXPECT_TRUE(Logged("Failed to decompress file\nUnable to load 'b.txt'\n")) << Log();
  EXPECT_FALSE(TestFileExists(OnDrive("Program Files/Widget/b.txt")));
}

// A file far larger than any buffer the installer makes is unpacked while
// it is written: no block near its size is ever asked for.
TEST_F(InstallTest, LargeFilesAreWrittenInPiecesThroughBoundedBuffers) {
  std::string noise(6 << 20, 0), text;
  uint32_t seed = 7;
  for (char &c : noise) c = (char)((seed = seed * 1103515245u + 12345u) >> 16);
  for (unsigned line = 0; text.size() < (6u << 20); line++)
    text += "line " + std::to_string(line * 7919u % 100003u) + "\n";
  Mount({{"NOISE.BIN", noise}, {"TEXT.BIN", text}}, "", ARCHIVE_METHOD1);
  FileList("noise.bin,text.bin");
  SysStandInLargestBlock(1);
  EXPECT_EQ(1, Run(CmdInstall, ""));
  EXPECT_LT(SysStandInLargestBlock(1), 2 << 20);
  EXPECT_TRUE(TestReadFile(OnDrive("Program Files/Widget/noise.bin")) == noise);
  EXPECT_TRUE(TestReadFile(OnDrive("Program Files/Widget/text.bin")) == text);
}

// A name that would land outside the destination fails the command before
// any file of the list is written.
TEST_F(InstallTest, NamesLeadingOutsideTheDestinationAreRefusedFirst) {
  Mount({{"A.TXT", "a"}});
  for (const char *bad : {"..\\..\\x.txt", "C:\\x.txt", "c:x.txt", "\\x.txt", "/x.txt", "sub/../../x.txt",
                          "sub\\.. \\x.txt", "...\\x.txt", "a.txt:stream"}) {
    FileList(std::string("a.txt,") + bad);
    EXPECT_EQ(0, Run(CmdInstall, "")) << bad;
    EXPECT_TRUE(Logged("Refusing '" + std::string(bad) + "': the name leads outside the destination\n")) << Log();
    EXPECT_FALSE(TestFileExists(OnDrive("Program Files/Widget/a.txt"))) << bad;
  }
  EXPECT_EQ("", TargetStandInCreatedDirs());
  FileList("a.txt,sub\\..x\\..a.txt,.hidden");  // dots inside names are names
  EXPECT_EQ(0, Run(CmdInstall, ""));
  EXPECT_TRUE(Logged("Unable to get size for 'sub\\..x\\..a.txt'\n")) << Log();
}

TEST_F(InstallTest, AReadOnlyTargetFailsAndARetryStartsFromTheFirstName) {
  Mount({{"A.TXT", "new a"}, {"B.TXT", "new b"}});
  std::filesystem::create_directories(OnDrive("Program Files/Widget"));
  FILE *f = fopen(OnDrive("Program Files/Widget/B.TXT").c_str(), "wb");
  fputs("old b", f);
  fclose(f);
  chmod(OnDrive("Program Files/Widget/B.TXT").c_str(), 0444);
  FileList("A.TXT,B.TXT");
  EXPECT_EQ(0, Run(CmdInstall, ""));
  EXPECT_TRUE(Logged("Unable to create file 'C:\\Program Files\\Widget\\B.TXT'\n"));
  EXPECT_EQ("new a", TestReadFile(OnDrive("Program Files/Widget/A.TXT")));
  EXPECT_EQ("old b", TestReadFile(OnDrive("Program Files/Widget/B.TXT")));

  chmod(OnDrive("Program Files/Widget/B.TXT").c_str(), 0644);
  TestRemoveFile(OnDrive("Program Files/Widget/A.TXT"));
  EXPECT_EQ(1, Run(CmdInstall, ""));  // the same list again, from its first name
  EXPECT_EQ("new a", TestReadFile(OnDrive("Program Files/Widget/A.TXT")));
  EXPECT_EQ("new b", TestReadFile(OnDrive("Program Files/Widget/B.TXT")));
}

TEST_F(InstallTest, WithoutADestinationTargetsAreRelative) {
  Mount({{"DIR\\F.TXT", "f"}});
  script.installPath[0] = 0;
  FileList("DIR\\F.TXT");
  std::filesystem::remove_all("DIR");
  EXPECT_EQ(1, Run(CmdInstall, ""));
  EXPECT_EQ("f", TestReadFile("DIR/F.TXT"));
  std::filesystem::remove_all("DIR");
}

TEST_F(InstallTest, AnEmptyEntryInstallsAsAnEmptyFile) {
  // The archive refuses empty entries; without one mounted, entries are
  // plain files, and an empty one reaches INSTALL with size 0: nothing to
  // allocate or load.
  archive = WriteTestFile("commands-empty.dat", Bytes());
  FileList("commands-empty.dat");
  EXPECT_EQ(1, Run(CmdInstall, ""));
  EXPECT_TRUE(TestFileExists(OnDrive("Program Files/Widget/commands-empty.dat")));
  EXPECT_EQ("", TestReadFile(OnDrive("Program Files/Widget/commands-empty.dat")));
}

TEST_F(InstallTest, NamesAndPathsBeyondTheBuffersFailWithTheirLine) {
  Mount({{"A.TXT", "a"}});
  std::string longName(800, 'n');
  FileList(longName + ",a.txt");
  EXPECT_EQ(0, Run(CmdInstall, ""));
  EXPECT_TRUE(Logged("Unable to get size for '" + std::string(771, 'n') + "'\n"));

  // 700 characters of name behind a 150-character destination.
  std::string name(700, 'x');
  Mount({{name, "x"}});
  StrCopyN(script.installPath, ("C:\\" + std::string(146, 'p') + "\\").c_str(), SCRIPT_FIELD_SIZE);
  FileList(name);
  EXPECT_EQ(0, Run(CmdInstall, ""));
  std::string cut = ("C:\\" + std::string(146, 'p') + "\\" + std::string(700, 'x')).substr(0, 771);
  EXPECT_TRUE(Logged("Unable to create file '" + cut + "'\n"));
}

TEST_F(InstallTest, MakePathBuildsTheChainAndRestoresThePath) {
  char path[] = "C:\\A\\B\\C";
  EXPECT_EQ(1, MakePathNoting(path, NoNote));
  EXPECT_STREQ("C:\\A\\B\\C", path);
  EXPECT_TRUE(std::filesystem::is_directory(OnDrive("A/B/C")));
  EXPECT_EQ("C:\\A\nC:\\A\\B\nC:\\A\\B\\C\n", TargetStandInCreatedDirs());
  EXPECT_EQ(1, MakePathNoting(path, NoNote));  // there already: nothing is made
  EXPECT_EQ("C:\\A\nC:\\A\\B\nC:\\A\\B\\C\n", TargetStandInCreatedDirs());
  char elsewhere[] = "Q:\\X\\";
  EXPECT_EQ(1, MakePathNoting(elsewhere, NoNote));  // a drive that is not there: tried, ignored
}

// Files are written on a second thread while the next ones are unpacked,
// or one by one where no thread can be had: the same files either way, and
// the first failure in the list's order is the one logged.
TEST_F(InstallTest, QueuedFilesLandWholeAndTheFirstFailureInOrderWins) {
  for (int noThread : {0, 1}) {
    std::filesystem::remove_all(OnDrive("Program Files"));
    TargetStandInNoThread(noThread);
    std::map<std::string, std::string> entries;
    std::string list;
    for (int i = 0; i < 40; i++) {  // sizes from a byte to past two slots
      std::string name = "D" + std::to_string(i % 3) + "\\F" + std::to_string(i) + ".BIN";
      std::string content((size_t)i * i * 997 + 1, 0);
      for (size_t k = 0; k < content.size(); k++) content[k] = (char)(k * 31 + i);
      entries[name] = content;
      list += (list.empty() ? "" : ",") + name;
    }
    Mount(entries, "", ARCHIVE_METHOD1);
    FileList(list);
    EXPECT_EQ(1, Run(CmdInstall, "")) << noThread;
    for (auto &e : entries) {
      std::string host = e.first;
      host[2] = '/';
      EXPECT_TRUE(TestReadFile(OnDrive("Program Files/Widget/" + host)) == e.second) << e.first << noThread;
    }
    EXPECT_EQ(0, TargetStandInOpenFiles());

    // B cannot be created and C is damaged: B's line, and nothing of C.
    Mount({{"A.TXT", "a"}, {"B", "b"}, {"C.TXT", std::string(300, 'c')}}, "C.TXT");
    std::filesystem::create_directories(OnDrive("Program Files/Widget/B"));
    FileList("A.TXT,B,C.TXT");
    EXPECT_EQ(0, Run(CmdInstall, ""));
    std::string log = Log(), line = "Unable to create file 'C:\\Program Files\\Widget\\B'\n";
    size_t seen = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) seen++;
    EXPECT_EQ((size_t)noThread + 1, seen) << log;
    EXPECT_FALSE(Logged("Unable to load")) << Log();
    EXPECT_FALSE(TestFileExists(OnDrive("Program Files/Widget/C.TXT")));
    EXPECT_EQ(0, TargetStandInOpenFiles());
  }
}

// A full disk, met by a write or only by the close that flushes what the
// system kept back, on the writing thread or without it: the command fails
// with the system's reason, and the file is removed.
TEST_F(InstallTest, AFailedWriteOrCloseFailsTheCommandAndLeavesNoFile) {
  Mount({{"A.TXT", "abcdef"}, {"B.TXT", "ghijkl"}, {"C.TXT", "mnopqr"}});
  FileList("A.TXT,B.TXT,C.TXT");
  for (int noThread : {0, 1})
    for (int atClose : {0, 1}) {
      std::filesystem::remove_all(OnDrive("Program Files"));
      TargetStandInNoThread(noThread);
      if (atClose) TargetStandInFailClose(1);  // A closes, B does not
      else TargetStandInDiskRoom(9);           // A and half of B
      EXPECT_EQ(0, Run(CmdInstall, ""));
      TargetStandInDiskRoom(-1);
      TargetStandInFailClose(-1);
      EXPECT_TRUE(Logged("Write failed (112): There is not enough space on the disk.\n"
                         "Unable to write to file 'C:\\Program Files\\Widget\\B.TXT'\n")) << Log();
      EXPECT_EQ("abcdef", TestReadFile(OnDrive("Program Files/Widget/A.TXT")));
      EXPECT_FALSE(TestFileExists(OnDrive("Program Files/Widget/B.TXT"))) << noThread << atClose;
      EXPECT_FALSE(TestFileExists(OnDrive("Program Files/Widget/C.TXT")));
      EXPECT_EQ(0, TargetStandInOpenFiles());
    }
  EXPECT_FALSE(Logged("Write failed (0)"));
}

// ---- UPDATE and DONE -----------------------------------------------------

TEST_F(CommandsTest, UpdateWithoutTheKeyTellsTheUserAndFails) {
  StrCopy(script.registryPath, "Software\\Acme\\Widget");
  EXPECT_EQ(0, Run(CmdUpdate, ""));
  EXPECT_EQ(0, consumed);
  EXPECT_TRUE(Logged("Registry path does not exist (Software\\Acme\\Widget)\n"));
  EXPECT_EQ(0, Run(CmdUpdate, "Install Widget first, please."));
  EXPECT_EQ(29, consumed);
  script.registryPath[0] = 0;  // no key at all: never installed
  EXPECT_EQ(0, Run(CmdUpdate, ""));
  std::vector<Box> boxes = Boxes();
  ASSERT_EQ(3u, boxes.size());
  EXPECT_EQ("The program you are attempting to update must be installed first.", boxes[0].text);
  EXPECT_EQ("Install Widget first, please.", boxes[1].text);
  for (const Box &b : boxes) {
    EXPECT_EQ(PROBLEM_CAPTION, b.caption);
    EXPECT_EQ(window, b.owner);
    EXPECT_EQ(SYS_MB_OK, b.style);
  }
}

TEST_F(CommandsTest, UpdateWithTheKeyGoesOn) {
  RegistryStandInSetText(REGROOT_CURRENT_USER, "Software\\Acme\\Widget", INSTALL_PATH_VALUE, "C:\\W\\");
  StrCopy(script.registryPath, "Software\\Acme\\Widget");
  EXPECT_EQ(1, Run(CmdUpdate, "must be installed"));
  EXPECT_EQ(17, consumed);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(CommandsTest, DoneRecordsTheDestinationAndShowsItsBox) {
  StrCopy(script.registryPath, "Software\\Acme\\Widget");
  StrCopy(script.installPath, "C:\\Program Files\\Widget\\");
  StrCopy(script.prompt, "All done");
  EXPECT_EQ(1, Run(CmdDone, "Widget is installed."));
  EXPECT_EQ(20, consumed);
  EXPECT_EQ(0, script.prompt[0]);
  char value[64] = {};
  uint32_t type = 0;
  int length = 0;
  ASSERT_EQ(1, RegistryStandInGetValue(REGROOT_CURRENT_USER, "Software\\Acme\\Widget", INSTALL_PATH_VALUE, &type,
                                       value, sizeof value, &length));
  EXPECT_EQ(1u, type);  // REG_SZ
  EXPECT_EQ("C:\\Program Files\\Widget\\", std::string(value, (size_t)length));

  // The key exists now: opened, and the value replaced.
  StrCopy(script.installPath, "D:\\W\\");
  EXPECT_EQ(1, Run(CmdDone, "Again."));
  ASSERT_EQ(1, RegistryStandInGetValue(REGROOT_CURRENT_USER, "Software\\Acme\\Widget", INSTALL_PATH_VALUE, &type,
                                       value, sizeof value, &length));
  EXPECT_EQ("D:\\W\\", std::string(value, (size_t)length));

  std::vector<Box> boxes = Boxes();
  ASSERT_EQ(2u, boxes.size());
  EXPECT_EQ("Widget is installed.", boxes[0].text);
  EXPECT_EQ("All done", boxes[0].caption);
  EXPECT_EQ("Installation Complete!", boxes[1].caption);  // the prompt was used up
  EXPECT_EQ(window, boxes[1].owner);
  EXPECT_EQ(SYS_MB_OK, boxes[1].style);
}

TEST_F(CommandsTest, DoneWithoutAKeyTouchesNoRegistryAndAFailedWriteGoesOn) {
  EXPECT_EQ(1, Run(CmdDone, "Bye."));
  EXPECT_FALSE(RegistryStandInKeyExists(REGROOT_CURRENT_USER, "Software"));
  StrCopy(script.registryPath, "Software\\Acme");
  RegistryStandInFailNext(REGISTRY_STANDIN_SET, 5);
  EXPECT_EQ(1, Run(CmdDone, "Bye."));
  EXPECT_TRUE(Logged("Unable to set Install Path\n"));
  EXPECT_EQ(2u, Boxes().size());
}

TEST_F(CommandsTest, DoneDiesWhenTheKeyCannotBeHad) {
  StrCopy(script.registryPath, "Software\\Acme");
  EXPECT_EXIT(
      {
        RegistryStandInFailNext(REGISTRY_STANDIN_CREATE, 5);
        Run(CmdDone, "x");
      },
      testing::ExitedWithCode(1), TestFatalBox("Unable to create key 'Software\\Acme'"));
}

// A key that is there but cannot be opened.
TEST_F(CommandsTest, DoneDiesWhenTheKeyCannotBeOpened) {
  StrCopy(script.registryPath, "Software\\Acme");
  RegistryStandInSetText(REGROOT_CURRENT_USER, "Software\\Acme", "Other", "x");
  EXPECT_EXIT(
      {
        RegistryStandInFailAfter(REGISTRY_STANDIN_OPEN, 5, 1);  // found, then not opened
        Run(CmdDone, "x");
      },
      testing::ExitedWithCode(1), TestFatalBox("Unable to open key 'Software\\Acme'"));
}

}  // namespace
