// The uninstaller over the stand-ins: the record's format and check, what a
// run that asks for an uninstaller leaves behind, and the removal.
#include "commands-test-support.h"
#include "pathdialog.h"
#include "shell.h"
#include "exit-codes.h"
#include "interact.h"
#include "run.h"
#include "switches.h"
#include "uninstall-standin.h"
#include "journal.h"
#include "uninstall.h"

namespace {

void WriteHost(const std::string &path, const std::string &text) {
  FILE *f = fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
}

// The names in a host folder.
std::vector<std::string> Names(const std::string &folder) {
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  return names;
}

std::string Sealed(const std::string &body) {
  std::string text = UNINSTALL_HEAD + body;
  char line[UNINSTALL_CRC_LINE_SIZE + 1];
  UninstallRecordSeal(text.data(), (uint32_t)text.size(), line);
  return text + line;
}

bool Sound(const std::string &text) {
  uint32_t start, length;
  return UninstallRecordCheck(text.data(), (uint32_t)text.size(), &start, &length) == 1;
}

TEST(UninstallRecord, SealedRecordsPassAndEveryDamageIsRefused) {
  std::string good = Sealed("F\tC:\\A\\B.TXT\r\nI\tGroup\tCaption\r\n");
  uint32_t start, length;
  ASSERT_EQ(1, UninstallRecordCheck(good.data(), (uint32_t)good.size(), &start, &length));
  EXPECT_EQ("F\tC:\\A\\B.TXT\r\nI\tGroup\tCaption\r\n", good.substr(start, length));
  EXPECT_TRUE(Sound(Sealed("")));
  EXPECT_EQ("CRC32 ", good.substr(good.size() - 16, 6));
  for (size_t i = 0; i < good.size(); i++) {  // any byte changed
    std::string bad = good;
    bad[i] ^= 0x01;
    EXPECT_FALSE(Sound(bad)) << i;
  }
  EXPECT_FALSE(Sound(good.substr(0, good.size() - 1)));
  EXPECT_FALSE(Sound(""));
  // Sealed, yet not lines of the format.
  for (const char *body : {"X\tpath\r\n", "F path\r\n", "F\t\r\n", "F\tpath\n", "F\ta\x01" "b\r\n", "F\tpath"})
    EXPECT_FALSE(Sound(Sealed(body))) << body;
  char path[20];
  ASSERT_EQ(1, UninstallRecordPath("C:\\a.b\\uninst.exe", path, sizeof path));
  EXPECT_STREQ("C:\\a.b\\uninst.dat", path);
  ASSERT_EQ(1, UninstallRecordPath("C:\\a.b\\uninst", path, sizeof path));
  EXPECT_STREQ("C:\\a.b\\uninst.dat", path);
  EXPECT_EQ(0, UninstallRecordPath("C:\\a.b\\long-name.exe", path, sizeof path));
}

// Which lines of a record the uninstaller carries out, for the location
// C:\Acme\Widget and the programs folder C:\Start Menu\Programs.
TEST(UninstallRecord, OnlyLinesBelowTheLocationAreCarriedOut) {
  const char *location = "C:\\Acme\\Widget", *programs = "C:\\Start Menu\\Programs";
  for (const char *line : {"FC:\\Acme\\Widget\\A.EXE", "Oc:\\acme\\widget\\sub\\a.dll", "DC:\\Acme\\Widget", "DC:\\Acme",
                           "DC:\\Start Menu\\Programs\\Widget", "FC:\\Start Menu\\Programs\\Widget\\Widget.lnk",
                           "FC:\\Start Menu\\Programs\\Widget.lnk",
                           "FC:\\Acme\\Widget\\console\\nullx.txt"})
    EXPECT_EQ(nullptr, UninstallLineRefusal(line[0], line + 1, location, programs)) << line;
  for (const char *line : {"FC:\\Acme\\Widget\\..\\..\\victim\\a.txt", "FC:\\victim\\b.txt", "DC:\\victim\\d",
                           "FD:\\Acme\\Widget\\a", "FC:\\Acme\\Widget2\\a", "FC:\\Acme", "DC:\\Acme\\Other",
                           "FC:\\Acme\\Widget\\NUL", "FC:\\Acme\\Widget\\con.fig", "FC:\\Acme\\Widget\\com1.txt", "FC:\\Acme\\Widget\\Aux .x",
                           "F\\\\?\\C:\\Acme\\Widget\\a", "F\\\\.\\C:\\Acme\\Widget\\a", "FC:\\Acme\\Widget\\a.txt:s",
                           "FC:\\Acme\\Widget/../../x", "FC:\\Acme\\Widget\\sub.\\a", "FC:\\Acme\\Widget\\\\a",
                           "FC:\\Acme\\Widget\\. . \\a", "FC:\\Start Menu\\Programs\\Other.exe",
                           "DC:\\Start Menu\\Programs\\a\\b", "DC:\\Start Menu", "OC:\\Start Menu\\Programs\\a\\b.lnk"})
    EXPECT_NE(nullptr, UninstallLineRefusal(line[0], line + 1, location, programs)) << line;
}

class UninstallTest : public CommandsTest {
 protected:
  void SetUp() override {
    CommandsTest::SetUp();
    UninstallStandInReset();
    RunBegin("");
    ASSERT_EQ(1, ShellServicesInit());
    StrCopy(script.productName, "Widget 2000");
    StrCopy(script.companyName, "Acme");
    StrCopy(script.registryPath, "Software\\Acme\\Widget");
    StrCopy(script.installPath, "C:\\Acme\\Widget\\");
    script.installSize = 2048;
    // A user install named as the product: its entry below HKEY_CURRENT_USER.
    script.scope = SCRIPT_SCOPE_USER;
    StrCopy(script.productId, "Widget 2000");
  }
  void TearDown() override {
    UninstallReset();
    ShellServicesRemove();
    RunBegin("");
    CommandsTest::TearDown();
  }
  // One run: UNINSTALL, the files, DONE, a group and item, the end.
  void Install(const std::string &names) {
    std::map<std::string, std::string> files;
    for (size_t at = 0; at < names.size();) {
      size_t comma = std::min(names.find(',', at), names.size());
      std::string name = names.substr(at, comma - at);
      files[ScriptUpperName(name)] = "content of " + name;
      at = comma + 1;
    }
    Mount(files);
    ASSERT_EQ(1, Run(CmdUninstall, ""));
    FileList(names);
    ASSERT_EQ(1, Run(CmdInstall, ""));
    ASSERT_EQ(1, Run(CmdCreateGroup, "Widget 2000"));
    ASSERT_EQ(1, Run(CmdAddItem, "A.EXE" MARK "Widget"));
    TestQueueBoxAnswer(SYS_IDOK);
    ASSERT_EQ(1, Run(CmdDone, "Done."));
    if (denyMachine) RegistryStandInFailNext(REGISTRY_STANDIN_CREATE, 5);  // access denied to the machine's programs
    ASSERT_EQ(1, UninstallFinish(&script, archive.c_str()));
    FfsRemove();
  }
  int denyMachine = 0;
  static std::string ScriptUpperName(std::string name) {
    for (char &c : name) c = (char)toupper((unsigned char)c);
    return name;
  }
  std::string Record() { return TestReadFile(OnDrive("Acme/Widget/uninstall.dat")); }
  std::string Value(const char *key, const char *name, int root = REGROOT_CURRENT_USER) {
    char data[400] = "";
    uint32_t type;
    int length;
    if (!RegistryStandInGetValue(root, key, name, &type, data, sizeof data - 1, &length)) return "-";
    return type == REGISTRY_SYS_DWORD ? std::to_string(*(uint32_t *)data) : std::string(data);
  }
  int Uninstall(const std::string &switches) {
    ShellServicesRemove();  // the uninstaller brings the install services up itself
    RunBegin(switches.c_str());
    std::string args = switches + " -uninstall=C:\\Acme\\Widget\\uninstall.exe";
    int code = UninstallMain(args.c_str());
    // The copy's last step, which it starts (as its own program) as it ends:
    // the original moved into the temporary directory, or (where that is
    // not there) in its place, with the two recorded folders holding it.
    std::string started = UninstallStandInStarts();
    UninstallStandInReset();
    if (!started.empty()) {
      lastStep = started.substr(started.find(" -uninstall ") + 1);
      lastStep.pop_back();
      if (lastStep.find("-uninstall -uninstall-end=0 C:\\TEMP\\~u") != 0) {
        EXPECT_EQ("-uninstall -uninstall-end=2 C:\\Acme\\Widget\\uninstall.exe", lastStep);
      }
      if (!finish) return code;
      EXPECT_EQ(EXIT_INSTALLED, UninstallMain(lastStep.c_str()));
    }
    return code;
  }
  int finish = 1;
  std::string lastStep;
  const char *arp = UNINSTALL_ARP_KEY "Widget 2000";
};

TEST_F(UninstallTest, ARunWritesTheBareProgramTheRecordAndTheEntry) {
  Install("A.EXE,SUB\\B.TXT");
  EXPECT_EQ(std::string(64, 'M'), TestReadFile(OnDrive("Acme/Widget/uninstall.exe")));
  std::string record = Record();
  ASSERT_TRUE(Sound(record));
  EXPECT_EQ(UNINSTALL_HEAD
            "D\tC:\\Acme\r\nD\tC:\\Acme\\Widget\r\nF\tC:\\Acme\\Widget\\A.EXE\r\n"
            "D\tC:\\Acme\\Widget\\SUB\r\nF\tC:\\Acme\\Widget\\SUB\\B.TXT\r\n"
            "G\tWidget 2000\r\nI\tWidget 2000\tWidget\r\n"
            "K\tSoftware\r\nK\tSoftware\\Acme\r\nK\tSoftware\\Acme\\Widget\r\n"
            "V\tSoftware\\Acme\\Widget\tInstall Path\r\nP\tWidget 2000\r\n"
            "K\tSoftware\\Microsoft\r\nK\tSoftware\\Microsoft\\Windows\r\n"
            "K\tSoftware\\Microsoft\\Windows\\CurrentVersion\r\n"
            "K\tSoftware\\Microsoft\\Windows\\CurrentVersion\\Uninstall\r\n"
            "K\tSoftware\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Widget 2000\r\n"
            "A\tSoftware\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Widget 2000\r\n"
            "L\tC:\\Acme\\Widget\r\n",
            record.substr(0, record.size() - UNINSTALL_CRC_LINE_SIZE));
  EXPECT_EQ("Widget 2000", Value(arp, "DisplayName"));
  EXPECT_EQ("Acme", Value(arp, "Publisher"));
  EXPECT_EQ("C:\\Acme\\Widget", Value(arp, "InstallLocation"));
  EXPECT_EQ("\"C:\\Acme\\Widget\\uninstall.exe\" -uninstall", Value(arp, "UninstallString"));
  EXPECT_EQ("\"C:\\Acme\\Widget\\uninstall.exe\" -uninstall -silent", Value(arp, "QuietUninstallString"));
  EXPECT_EQ("C:\\Acme\\Widget\\uninstall.exe", Value(arp, "DisplayIcon"));
  EXPECT_EQ("2048", Value(arp, "EstimatedSize"));
  EXPECT_EQ(1, UninstallRecordBeside("C:\\Acme\\Widget\\uninstall.exe"));
  EXPECT_EQ(0, UninstallRecordBeside("C:\\Acme\\Widget\\A.EXE"));  // A.DAT: none
  EXPECT_EQ("1", Value(arp, "NoModify"));
  EXPECT_EQ("1", Value(arp, "NoRepair"));
}

// A machine install names its entry after the product's key, the same for
// every version, below HKEY_LOCAL_MACHINE; it takes over what an earlier
// user install of the product recorded under another name, and its
// uninstaller removes it. Without the rights for the machine's programs
// the entry is this user's.
TEST_F(UninstallTest, AMachineInstallHasOneEntryForEveryVersion) {
  Install("A.EXE");  // version 1: a user install, "Widget 2000"
  script.scope = SCRIPT_SCOPE_MACHINE;
  script.productId[0] = 0;
  StrCopy(script.productName, "Widget 2001");
  StrCopy(script.productVersion, "2.0.1");
  Install("A.EXE");
  const char *machine = UNINSTALL_ARP_KEY "Acme Widget";
  EXPECT_EQ("-", Value(arp, "DisplayName"));
  EXPECT_EQ(0, RegistryStandInKeyExists(REGROOT_CURRENT_USER, arp));
  EXPECT_EQ("Widget 2001", Value(machine, "DisplayName", REGROOT_LOCAL_MACHINE));
  EXPECT_EQ("2.0.1", Value(machine, "DisplayVersion", REGROOT_LOCAL_MACHINE));
  EXPECT_NE(std::string::npos, Record().find("M\tSoftware\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Widget\r\n"));
  EXPECT_EQ(EXIT_INSTALLED, Uninstall("-silent"));
  EXPECT_EQ(0, RegistryStandInKeyExists(REGROOT_LOCAL_MACHINE, machine));

  denyMachine = 1;
  script.productVersion[0] = 0;
  Install("A.EXE");
  EXPECT_EQ("Widget 2001", Value(UNINSTALL_ARP_KEY "Acme Widget", "DisplayName"));
  EXPECT_EQ("-", Value(UNINSTALL_ARP_KEY "Acme Widget", "DisplayVersion"));
}

TEST_F(UninstallTest, WithoutTheCommandNothingIsRecordedOrWritten) {
  Mount({{"A.EXE", "a"}});
  FileList("A.EXE");
  ASSERT_EQ(1, Run(CmdInstall, ""));
  EXPECT_EQ(0, UninstallFinish(&script, archive.c_str()));
  EXPECT_FALSE(TestFileExists(OnDrive("Acme/Widget/uninstall.exe")));
  EXPECT_FALSE(TestFileExists(OnDrive("Acme/Widget/uninstall.dat")));
  EXPECT_EQ(0, RegistryStandInKeyExists(REGROOT_CURRENT_USER, arp));
}

TEST_F(UninstallTest, ASecondRunAddsItsLinesAndOneUninstallRemovesBoth) {
  Install("A.EXE");
  Install("A.EXE,C.TXT");
  // An update that could not end left its journal: undone before the removal.
  std::filesystem::create_directories(OnDrive("Acme/Widget" JOURNAL_FOLDER));
  WriteHost(OnDrive("Acme/Widget/NEW.TXT"), "half");
  WriteHost(OnDrive("Acme/Widget" JOURNAL_FOLDER "/journal"), JOURNAL_HEAD "F\tC:\\Acme\\Widget\\NEW.TXT\r\n");
  std::string record = Record();
  ASSERT_TRUE(Sound(record));
  EXPECT_NE(std::string::npos, record.find("F\tC:\\Acme\\Widget\\C.TXT\r\n"));
  EXPECT_EQ(record.find("F\tC:\\Acme\\Widget\\A.EXE"), record.rfind("F\tC:\\Acme\\Widget\\A.EXE"));
  EXPECT_EQ(record.find("K\tSoftware\\Acme\r\n"), record.rfind("K\tSoftware\\Acme\r\n"));
  EXPECT_EQ(EXIT_INSTALLED, Uninstall("-silent"));
  EXPECT_TRUE(Logged("Rollback: an unfinished installation to 'C:\\Acme\\Widget\\' is undone\n"));
  EXPECT_FALSE(std::filesystem::exists(OnDrive("Acme")));
}

// Many files: every line is kept once, in the order first noted, in one
// run and across two.
TEST_F(UninstallTest, ManyLinesAreEachKeptOnceInTheirOrder) {
  auto noteRun = [&](int from, int to) {
    Mount({{"A.EXE", "a"}});
    ASSERT_EQ(1, Run(CmdUninstall, ""));
    for (int pass = 0; pass < 2; pass++)
      for (int i = from; i < to; i++)
        UninstallNote(UNINSTALL_TAG_FILE, ("C:\\Acme\\Widget\\F" + std::to_string(i) + ".TXT").c_str(), NULL);
    ASSERT_EQ(1, UninstallFinish(&script, archive.c_str()));
    FfsRemove();
    UninstallReset();
  };
  std::filesystem::create_directories(OnDrive("Acme/Widget"));
  noteRun(0, 20000);
  noteRun(19990, 20010);
  std::string record = Record();
  ASSERT_TRUE(Sound(record));
  std::vector<std::string> files;
  for (size_t at = 0, end; (end = record.find("\r\n", at)) != std::string::npos; at = end + 2)
    if (record.compare(at, 2, "F\t") == 0) files.push_back(record.substr(at + 2, end - at - 2));
  ASSERT_EQ(20010u, files.size());
  for (int i = 0; i < 20010; i++) ASSERT_EQ("C:\\Acme\\Widget\\F" + std::to_string(i) + ".TXT", files[i]);
}

TEST_F(UninstallTest, SilentUninstallRemovesEverythingRecordedAndKeepsWhatThePersonAdded) {
  Install("A.EXE,SUB\\B.TXT");
  RegistryStandInSetText(REGROOT_CURRENT_USER, "Software\\Other", "kept", "yes");
  std::filesystem::create_directories(OnDrive("Acme/Widget/mine"));
  WriteHost(OnDrive("Acme/Widget/mine/notes.txt"), "mine");
  EXPECT_EQ(EXIT_INSTALLED, Uninstall("-silent"));
  EXPECT_EQ("mine", TestReadFile(OnDrive("Acme/Widget/mine/notes.txt")));
  for (const char *gone : {"Acme/Widget/A.EXE", "Acme/Widget/SUB", "Acme/Widget/uninstall.exe", "Acme/Widget/uninstall.dat"})
    EXPECT_FALSE(std::filesystem::exists(OnDrive(gone))) << gone;
  EXPECT_NE(std::string::npos,
            std::string(ShellStandInExecuted()).find("[AddItem(\"C:\\Acme\\Widget\\A.EXE\",\"Widget\")]\n[DeleteGroup(\"Widget 2000\")]\n"));
  EXPECT_EQ(0, RegistryStandInKeyExists(REGROOT_CURRENT_USER, "Software\\Acme"));
  EXPECT_EQ(0, RegistryStandInKeyExists(REGROOT_CURRENT_USER, "Software\\Microsoft"));
  EXPECT_EQ("yes", Value("Software\\Other", "kept"));
  EXPECT_TRUE(Logged("Unattended: no box 'Widget 2000': Remove Widget 2000 and all of its components?\n"));
  EXPECT_TRUE(Logged("Widget 2000 was removed: 2 files, 1 directory, 0 shortcuts, 1 group, 17 registry entries.\n"))
      << Log();
  // Once more: nothing is left.
  EXPECT_EQ(EXIT_NOT_INSTALLED, Uninstall("-silent"));
  EXPECT_TRUE(Logged("Unattended: no box 'Uninstall': " UNINSTALL_NOTHING "\n"));
}

TEST_F(UninstallTest, AFileInUseIsListedAndTheUninstallerStaysForAnotherTry) {
  Install("A.EXE,SUB\\B.TXT");
  TargetStandInSetBusy("C:\\Acme\\Widget\\A.EXE");
  EXPECT_EQ(EXIT_COMMAND_FAILED, Uninstall("-silent"));
  EXPECT_TRUE(Logged(UNINSTALL_IN_USE "\nC:\\Acme\\Widget\\A.EXE\n"));
  EXPECT_TRUE(TestFileExists(OnDrive("Acme/Widget/A.EXE")));
  EXPECT_FALSE(TestFileExists(OnDrive("Acme/Widget/SUB/B.TXT")));
  EXPECT_TRUE(Sound(Record()));
  EXPECT_EQ("Widget 2000", Value(arp, "DisplayName"));
  TargetStandInReset();
  TargetStandInMapDrive('C', drive.c_str());
  EXPECT_EQ(EXIT_INSTALLED, Uninstall("-silent"));
  EXPECT_FALSE(std::filesystem::exists(OnDrive("Acme")));
  // A machine install's: removed when Windows restarts, its folders after it.
  script.scope = SCRIPT_SCOPE_MACHINE;
  Install("A.EXE,SUB\\B.TXT");
  TargetStandInSetBusy("C:\\Acme\\Widget\\A.EXE");
  EXPECT_EQ(EXIT_RESTART_NEEDED, Uninstall("-silent"));
  EXPECT_EQ("C:\\Acme\\Widget\\A.EXE\t\nC:\\Acme\\Widget\t\nC:\\Acme\t\n", TargetStandInRestartMoves());
  EXPECT_TRUE(Logged("Widget 2000 was removed: 2 files, 1 directory, 0 shortcuts, 0 groups, 14 registry entries.\n\n"
                     UNINSTALL_RESTART "\n")) << Log();
}

// Program Manager's group and item, files in the Start Menu, go when it does
// not answer (a silent run without a desktop); a shortcut that cannot be
// removed is listed and fails the run.
TEST_F(UninstallTest, ProgramManagersShortcutsGoWithoutItAndOneKeptFails) {
  Install("a.exe");
  std::filesystem::create_directories(OnDrive("Start Menu/Programs/Widget 2000"));
  WriteHost(OnDrive("Start Menu/Programs/Widget 2000/Widget.lnk"), "link");
  ShellStandInNoProgMan(1);
  TargetStandInSetBusy("C:\\Start Menu\\Programs\\Widget 2000\\Widget.lnk");
  EXPECT_EQ(EXIT_COMMAND_FAILED, Uninstall("-silent"));
  EXPECT_TRUE(Logged("Widget 2000 was removed: 1 file, 0 directories, 0 shortcuts, 0 groups, 3 registry entries.\n\n"
                     UNINSTALL_IN_USE "\nC:\\Start Menu\\Programs\\Widget 2000\\Widget.lnk\n")) << Log();
  EXPECT_EQ("Widget 2000", Value(arp, "DisplayName"));
  TargetStandInReset();
  TargetStandInMapDrive('C', drive.c_str());
  EXPECT_EQ(EXIT_INSTALLED, Uninstall("-silent"));
  EXPECT_FALSE(std::filesystem::exists(OnDrive("Start Menu/Programs/Widget 2000")));
  EXPECT_TRUE(Logged("Widget 2000 was removed: 0 files, 2 directories, 1 shortcut, 1 group, 15 registry entries.\n"))
      << Log();
  EXPECT_FALSE(std::filesystem::exists(OnDrive("Acme")));
}

// The copy ends with everything gone but the original program, which it
// moves into the temporary directory (its folders go too) or, where it
// cannot, leaves in its folders; the last step removes that.
TEST_F(UninstallTest, TheCopyEndsWithOnlyTheOriginalProgramLeft) {
  Install("a.exe");
  std::filesystem::remove_all(OnDrive("TEMP"));
  finish = 0;
  EXPECT_EQ(EXIT_INSTALLED, Uninstall("-silent"));
  EXPECT_EQ(std::vector<std::string>{"uninstall.exe"}, Names(OnDrive("Acme/Widget")));
  EXPECT_EQ(EXIT_INSTALLED, UninstallMain(lastStep.c_str()));
  EXPECT_FALSE(std::filesystem::exists(OnDrive("Acme")));
  Install("a.exe");
  std::filesystem::create_directories(OnDrive("TEMP"));
  EXPECT_EQ(EXIT_INSTALLED, Uninstall("-silent"));
  EXPECT_FALSE(std::filesystem::exists(OnDrive("Acme")));
  EXPECT_EQ(1u, Names(OnDrive("TEMP")).size());
  EXPECT_EQ(EXIT_INSTALLED, UninstallMain(lastStep.c_str()));
  EXPECT_TRUE(Names(OnDrive("TEMP")).empty());
}

TEST_F(UninstallTest, NoAndADamagedRecordLeaveEverything) {
  Install("A.EXE");
  TestQueueBoxAnswer(SYS_IDNO);
  EXPECT_EQ(EXIT_INSTALLED, Uninstall(""));
  EXPECT_EQ("Remove Widget 2000 and all of its components?", Boxes().back().text);
  std::string record = Record();
  record[30] ^= 1;
  WriteHost(OnDrive("Acme/Widget/uninstall.dat"), record);
  EXPECT_EQ(EXIT_DAMAGED, Uninstall("-passive"));
  EXPECT_TRUE(Logged("The uninstall record 'C:\\Acme\\Widget\\uninstall.dat' is damaged. Nothing was removed.\n"));
  EXPECT_TRUE(TestFileExists(OnDrive("Acme/Widget/A.EXE")));
  EXPECT_TRUE(TestFileExists(OnDrive("Acme/Widget/uninstall.exe")));
  EXPECT_EQ("Widget 2000", Value(arp, "DisplayName"));
}

// A folder the person removed counts as removed: the system says 3 (path
// not found) for its files.
TEST_F(UninstallTest, FilesOfAFolderAlreadyGoneCountAsRemoved) {
  Install("A.EXE,SUB\\B.TXT");
  std::filesystem::remove_all(OnDrive("Acme/Widget/SUB"));
  EXPECT_EQ(EXIT_INSTALLED, Uninstall("-silent"));
  EXPECT_FALSE(std::filesystem::exists(OnDrive("Acme")));
  EXPECT_EQ("-", Value(arp, "DisplayName"));
}

// Lines added to the record (its check line made anew) that lead outside
// the product's folder: the record is refused, each line logged, and
// nothing is removed.
TEST_F(UninstallTest, LinesLeadingOutsideTheFolderAreRefused) {
  Install("A.EXE");
  std::filesystem::create_directories(OnDrive("victim/d"));
  WriteHost(OnDrive("victim/a.txt"), "mine");
  WriteHost(OnDrive("victim/b.txt"), "mine");
  std::string record = Record();
  WriteHost(OnDrive("Acme/Widget/uninstall.dat"),
            Sealed(record.substr(sizeof UNINSTALL_HEAD - 1, record.size() - UNINSTALL_CRC_LINE_SIZE - (sizeof UNINSTALL_HEAD - 1)) +
                   "F\tC:\\Acme\\Widget\\..\\..\\victim\\a.txt\r\nF\tC:\\victim\\b.txt\r\nD\tC:\\victim\\d\r\n"));
  EXPECT_EQ(EXIT_DAMAGED, Uninstall("-silent"));
  EXPECT_TRUE(Logged("Uninstall: refused 'C:\\victim\\b.txt': outside the product's folder\n")) << Log();
  EXPECT_TRUE(Logged("The uninstall record 'C:\\Acme\\Widget\\uninstall.dat' names what is not the product's. Nothing was "
                     "removed:\nC:\\Acme\\Widget\\..\\..\\victim\\a.txt\nC:\\victim\\b.txt\nC:\\victim\\d\n"));
  EXPECT_EQ("mine", TestReadFile(OnDrive("victim/a.txt")));
  EXPECT_EQ("mine", TestReadFile(OnDrive("victim/b.txt")));
  EXPECT_TRUE(std::filesystem::exists(OnDrive("victim/d")));
  EXPECT_TRUE(TestFileExists(OnDrive("Acme/Widget/A.EXE")));
  EXPECT_EQ("Widget 2000", Value(arp, "DisplayName"));
}

// The uninstaller and its record copied to another folder: the record names
// its own, so nothing is removed; an earlier version's record (no location)
// has the uninstaller's folder for its location: refused there, carried out
// in its own folder.
TEST_F(UninstallTest, ARecordCopiedElsewhereRemovesNothingAndOneWithoutLocationStaysReadable) {
  Install("A.EXE");
  std::filesystem::create_directories(OnDrive("Copy"));
  std::filesystem::copy(OnDrive("Acme/Widget/uninstall.exe"), OnDrive("Copy/uninstall.exe"));
  std::string record = Record();
  WriteHost(OnDrive("Copy/uninstall.dat"), record);
  ShellServicesRemove();
  RunBegin("-silent");
  EXPECT_EQ(EXIT_DAMAGED, UninstallMain("-silent -uninstall=C:\\Copy\\uninstall.exe"));
  EXPECT_TRUE(Logged("The uninstall record 'C:\\Copy\\uninstall.dat' belongs to another folder. Nothing was removed.\n"));
  EXPECT_EQ("", UninstallStandInStarts());
  size_t at = record.find("L\t");
  std::string old = record.substr(sizeof UNINSTALL_HEAD - 1, at - (sizeof UNINSTALL_HEAD - 1));
  WriteHost(OnDrive("Copy/uninstall.dat"), Sealed(old));
  ShellServicesRemove();
  EXPECT_EQ(EXIT_DAMAGED, UninstallMain("-silent -uninstall=C:\\Copy\\uninstall.exe"));
  EXPECT_TRUE(TestFileExists(OnDrive("Acme/Widget/A.EXE")));
  EXPECT_EQ("Widget 2000", Value(arp, "DisplayName"));
  EXPECT_EQ("", UninstallStandInStarts());
  WriteHost(OnDrive("Acme/Widget/uninstall.dat"), Sealed(old));
  EXPECT_EQ(EXIT_INSTALLED, Uninstall("-silent"));
  EXPECT_FALSE(std::filesystem::exists(OnDrive("Acme")));
}

TEST_F(UninstallTest, RegisteredLibrariesAreUnregistered) {
  ShellStandInAddLibrary("C:\\Acme\\Widget\\A.DLL", 3, 0);
  Mount({{"A.DLL", "library"}});
  ASSERT_EQ(1, Run(CmdUninstall, ""));
  FileList("A.DLL");
  ASSERT_EQ(1, Run(CmdInstall, ""));
  ASSERT_EQ(1, Run(CmdOle, "REGISTER" MARK "A.DLL"));
  ASSERT_EQ(1, UninstallFinish(&script, archive.c_str()));
  FfsRemove();
  EXPECT_NE(std::string::npos, Record().find("O\tC:\\Acme\\Widget\\A.DLL\r\n"));
  EXPECT_EQ(EXIT_INSTALLED, Uninstall("-silent"));
  EXPECT_STREQ("DllRegisterServer C:\\Acme\\Widget\\A.DLL\nDllUnregisterServer C:\\Acme\\Widget\\A.DLL\n",
               ShellStandInLibraryCalls());
  EXPECT_FALSE(std::filesystem::exists(OnDrive("Acme")));
}

// A file counts once it is whole on the disk: after a write that failed,
// the run still leaves an uninstaller and a record of what it wrote.
TEST_F(UninstallTest, AFailedWriteLeavesTheUninstallerAndARecordOfTheWholeFiles) {
  Mount({{"A.EXE", "a"}, {"B.TXT", "b"}, {"C.TXT", "c"}});
  ASSERT_EQ(1, Run(CmdUninstall, ""));
  FileList("A.EXE,B.TXT,C.TXT");
  TargetStandInFailClose(1);  // B's close finds the disk full
  EXPECT_EQ(0, Run(CmdInstall, ""));
  ASSERT_EQ(1, UninstallFinish(&script, archive.c_str()));
  FfsRemove();
  std::string record = Record();
  EXPECT_NE(std::string::npos, record.find("F\tC:\\Acme\\Widget\\A.EXE\r\n"));
  EXPECT_EQ(std::string::npos, record.find("B.TXT")) << record;
  EXPECT_EQ("Widget 2000", Value(arp, "DisplayName"));
  EXPECT_EQ(EXIT_INSTALLED, Uninstall("-silent"));
  EXPECT_FALSE(std::filesystem::exists(OnDrive("Acme")));
}

// An uninstaller or record that cannot be written: the run is undone from
// its journal (as the driver does), an earlier installation's uninstaller,
// record and files stay as they were, and the run fails.
TEST_F(UninstallTest, AnUninstallerThatCannotBeWrittenUndoesTheRun) {
  auto run = [&](const std::map<std::string, std::string> &files, const std::string &list, int recordFails) {
    RunBegin(recordFails >= 0 ? "-silent" : "");
    Mount(files);
    ASSERT_EQ(1, Run(CmdUninstall, ""));
    JournalUse(script.installPath);
    FileList(list);
    ASSERT_EQ(1, Run(CmdInstall, ""));
    if (recordFails < 0) {  // attended, with Program Manager's group and item
      ASSERT_EQ(1, Run(CmdCreateGroup, "Widget 2000"));
      ASSERT_EQ(1, Run(CmdAddItem, "A.EXE" MARK "Widget"));
      TestQueueBoxAnswer(SYS_IDOK);
      TestQueueBoxAnswer(SYS_IDOK);
    }
    ASSERT_EQ(1, Run(CmdDone, "Done."));
    if (recordFails > 0) TargetStandInFailClose(1);  // the uninstaller is written, its record is not
    else TargetStandInDiskRoom(0);
    EXPECT_EQ(-1, UninstallFinish(&script, archive.c_str()));
    TargetStandInDiskRoom(-1);
    TargetStandInFailClose(-1);
    JournalRollback(0);
    FfsRemove();
    EXPECT_TRUE(Logged("Write failed (112): There is not enough space on the disk.\n")) << Log();
    EXPECT_TRUE(recordFails < 0 || Logged("The uninstaller could not be written to 'C:\\Acme\\Widget\\uninstall.exe'."))
        << Log();
    EXPECT_FALSE(TestFileExists(OnDrive("Acme/Widget/uninstall.exe~")));
    EXPECT_FALSE(TestFileExists(OnDrive("Acme/Widget/uninstall.dat~")));
  };
  for (int recordFails : {0, 1}) {
    std::filesystem::remove_all(OnDrive("Acme"));
    RegistryStandInClear();
    RunBegin("");
    Install("A.EXE");
    std::string program = TestReadFile(OnDrive("Acme/Widget/uninstall.exe")), record = Record();
    run({{"A.EXE", "a2"}, {"NEW\\C.TXT", "c"}}, "a.exe,new\\c.txt", recordFails);
    EXPECT_TRUE(program == TestReadFile(OnDrive("Acme/Widget/uninstall.exe"))) << recordFails;
    EXPECT_EQ(record, Record());
    EXPECT_EQ("content of A.EXE", TestReadFile(OnDrive("Acme/Widget/A.EXE")));  // version 1, restored
    EXPECT_FALSE(std::filesystem::exists(OnDrive("Acme/Widget/NEW")));
    EXPECT_EQ("Widget 2000", Value(arp, "DisplayName"));
  }
  // A first installation, attended: nothing of it stays, "Install Path"
  // included (Program Manager's group is not in the journal).
  std::filesystem::remove_all(OnDrive("Acme"));
  RegistryStandInClear();
  run({{"A.EXE", "a"}}, "a.exe", -1);
  EXPECT_EQ("The uninstaller could not be written to 'C:\\Acme\\Widget\\uninstall.exe'. What this installation "
            "wrote was removed again.",
            Boxes().back().text);
  EXPECT_FALSE(std::filesystem::exists(OnDrive("Acme")));
  EXPECT_EQ("-", Value("Software\\Acme\\Widget", INSTALL_PATH_VALUE));
  EXPECT_EQ(0, RegistryStandInKeyExists(REGROOT_CURRENT_USER, "Software\\Acme"));
  EXPECT_EQ(0, RegistryStandInKeyExists(REGROOT_CURRENT_USER, arp));
}

// An uninstaller in a folder nothing else of the run made: the folder is
// made and recorded.
TEST_F(UninstallTest, TheUninstallersOwnFolderIsMadeAndRecorded) {
  Mount({{"A.EXE", "a"}});
  ASSERT_EQ(1, Run(CmdUninstall, "tools\\uninst.exe"));
  FileList("A.EXE");
  ASSERT_EQ(1, Run(CmdInstall, ""));
  ASSERT_EQ(1, UninstallFinish(&script, archive.c_str()));
  EXPECT_EQ(std::string(64, 'M'), TestReadFile(OnDrive("Acme/Widget/tools/uninst.exe")));
  EXPECT_NE(std::string::npos, TestReadFile(OnDrive("Acme/Widget/tools/uninst.dat")).find("D\tC:\\Acme\\Widget\\tools\r\n"));
}

// However large the installer, its program part is copied in pieces: byte
// for byte, through no block near its size.
TEST_F(UninstallTest, TheUninstallerIsCopiedByteForByteThroughABoundedBuffer) {
  std::vector<uint8_t> stub(3 << 20), out;
  for (size_t i = 0; i < stub.size(); i++) stub[i] = (uint8_t)((i * 2654435761u) >> 13);
  stub[0] = 'M';
  stub[1] = 'Z';
  ArchiveWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Add("A.EXE", (const uint8_t *)"a", 1, ARCHIVE_AUTO, &error)) << error;
  ASSERT_TRUE(ArchiveWriteInstaller(stub, writer, &out, &error)) << error;
  archive = "commands-archive.exe";
  WriteHost(archive, std::string(out.begin(), out.end()));
  ASSERT_EQ(1, FfsInit(archive.c_str()));
  ASSERT_EQ(1, Run(CmdUninstall, ""));
  FileList("A.EXE");
  ASSERT_EQ(1, Run(CmdInstall, ""));
  SysStandInLargestBlock(1);
  ASSERT_EQ(1, UninstallFinish(&script, archive.c_str()));
  EXPECT_LT(SysStandInLargestBlock(1), 256 << 10);
  EXPECT_TRUE(TestReadFile(OnDrive("Acme/Widget/uninstall.exe")) == std::string(stub.begin(), stub.end()));
}

}  // namespace
