// A fixture for the commands that reach the target machine: drive C mapped
// onto a fresh host folder, an archive mounted from given files, the
// scripted user, the in-memory registry and the shell stand-in, the log on,
// and the memory accounting checked at the end.
#ifndef COMMANDS_TEST_SUPPORT_H
#define COMMANDS_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "archive-writer.h"
#include "command.h"
#include "dialog-test-support.h"
#include "ffs.h"
#include "registry-standin.h"
#include "script.h"
#include "shell-standin.h"
#include "process-standin.h"
#include "process-sys.h"
#include "target-standin.h"
#include "test-support.h"
#include "vantor-core.h"
#include "vantor-str.h"

// An installer's bytes holding files (name -> content), packed as method
// says; the entry named damaged is packed with method 1 and its first
// operation then given an opcode no decoder knows, so its size can be read
// but it cannot be loaded.
inline std::vector<uint8_t> TestInstallerBytes(const std::map<std::string, std::string> &files,
                                               const std::string &damaged = "",
                                               ArchiveMethod method = ARCHIVE_AUTO) {
  ArchiveWriter writer;
  std::string error;
  for (const auto &f : files)
    EXPECT_TRUE(writer.Add(f.first, (const uint8_t *)f.second.data(), f.second.size(),
                           f.first == damaged ? ARCHIVE_METHOD1 : method, &error))
        << error;
  std::vector<uint8_t> stub(64, 'M'), out;
  EXPECT_TRUE(ArchiveWriteInstaller(stub, writer, &out, &error)) << error;
  if (!damaged.empty()) {
    const char tag[] = "FFC!";
    auto at = std::search(out.begin(), out.end(), tag, tag + 4);
    EXPECT_NE(out.end(), at);
    if (at != out.end()) at[8] = 0x0F;  // behind the 8-byte head
    // As an older installer without the integrity record, so that the damage
    // is found where the entry is loaded, not at start-up.
    const char header[] = "FFS!";
    auto archive = std::search(out.begin(), out.end(), header, header + 4);
    if (archive != out.end()) archive[13] &= ~(FFS_FLAG_INTEGRITY >> 8);
    std::fill_n(out.end() - 4 - FFS_INTEGRITY_SIZE, 4, 0);  // the record's tag
  }
  return out;
}

class CommandsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(DialogTestFresh());
    TargetStandInReset();
    RegistryStandInClear();
    ShellStandInReset();
    FfsRemove();
    drive = std::filesystem::absolute("commands-drive-c").string();
    std::filesystem::remove_all(drive);
    std::filesystem::create_directories(drive + "/TEMP");
    TargetStandInMapDrive('C', drive.c_str());
    log = TestStartLog(DEBUG_FILE);
    MemoryGetCounters(&before);
    window = DialogStandInCreateWindow(NULL, 0, 0, 1024, 768);
    script = InstallScript();
    script.window = window;
    boxesBefore = SysStandInBoxCount();
  }
  void TearDown() override {
    FfsRemove();
    if (script.fontCount > 0) MEM_FREE(script.fonts, script.fontCount * (int)sizeof(ScriptFont));
    if (script.stringCount > 0) MEM_FREE(script.strings, script.stringCount * (int)sizeof(ScreenString));
    MemoryCounters after;
    MemoryGetCounters(&after);
    EXPECT_EQ(before.count, after.count);
    EXPECT_EQ(before.bytes, after.bytes);
    EXPECT_EQ(0, TargetStandInOpenFiles());
    EXPECT_EQ(0, TargetStandInKernelsLoaded());
    EXPECT_EQ(0, RegistryStandInOpenKeys());
    EXPECT_EQ(0, DialogStandInPendingActions());
    EXPECT_EQ(0, DialogStandInMistakes());
    while (TestNextBoxAnswer(SYS_MB_OK) != SYS_IDOK) ADD_FAILURE() << "a box answer was not used";
    TestStopLog();
    TestRemoveFile(log);
    TestRemoveFile(archive);
    std::filesystem::remove_all(drive);
    TargetStandInReset();
    RegistryStandInClear();
  }

  // Mounts an archive holding the files (name -> content, names with
  // backslashes as the builder stores them); the entry named damaged is
  // stored packed and cannot be unpacked; the others are packed as method
  // says.
  void Mount(const std::map<std::string, std::string> &files, const std::string &damaged = "",
             ArchiveMethod method = ARCHIVE_AUTO) {
    std::vector<uint8_t> out = TestInstallerBytes(files, damaged, method);
    archive = "commands-archive.exe";
    FILE *f = fopen(archive.c_str(), "wb");
    fwrite(out.data(), 1, out.size(), f);
    fclose(f);
    ASSERT_EQ(1, FfsInit(archive.c_str()));
  }

  // Runs handler on argument text args as it stands in a script line.
  int Run(CommandHandler handler, const std::string &args) {
    texts.push_back(args + "\r\n" MARK "NEXT:\r\n");
    consumed = -1;
    return handler(&script, &texts.back()[0], &consumed);
  }
  // The file list as FILE LIST leaves it.
  void FileList(const std::string &names) { ASSERT_EQ(1, Run(CmdFileList, names)); }

  std::string Log() {
    std::string text = TestReadFile(log), out;
    for (char c : text)
      if (c != '\r') out += c;
    return out;
  }
  bool Logged(const std::string &line) { return Log().find(line) != std::string::npos; }
  // Host path of a file below drive C.
  std::string OnDrive(const std::string &relative) { return drive + "/" + relative; }

  struct Box {
    void *owner;
    std::string text, caption;
    uint32_t style;
  };
  std::vector<Box> Boxes() {
    std::vector<Box> out;
    for (int i = boxesBefore; i < SysStandInBoxCount(); i++) {
      const SysBoxRecord *r = SysStandInBox(i);
      if (r != NULL) out.push_back({r->owner, r->text, r->caption, r->style});
    }
    return out;
  }

  std::string drive, log, archive;
  MemoryCounters before;
  void *window;
  InstallScript script;
  std::list<std::string> texts;  // argument texts stay alive (FILE LIST points into them)
  int32_t consumed;
  int boxesBefore;
};

#endif
