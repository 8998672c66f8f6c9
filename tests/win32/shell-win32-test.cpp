// The shell integration against the real system: OLE and DDE start and stop,
// self-registration through a real library (selfreg.dll, built beside this
// program), and a font file added for the run and removed with its file.
#include <windows.h>
#undef MEM_FREE  // the virtual-memory flag; the accounted release is ours

#include <gtest/gtest.h>

#include <string>

#include "shell.h"
#include "test-support.h"
#include "vantor-core.h"

namespace {

std::string ProgramDir() {
  char path[MAX_PATH];
  GetModuleFileNameA(NULL, path, sizeof path);
  std::string dir = path;
  return dir.substr(0, dir.rfind('\\') + 1);
}

class ShellWin32Test : public testing::Test {
 protected:
  void SetUp() override {
    log = TestStartLog(DEBUG_FILE);
    dir = ProgramDir();
    TestRemoveFile(dir + "selfreg.log");
    TestRemoveFile(dir + "selfreg.fail");
  }
  void TearDown() override {
    TestStopLog();
    TestRemoveFile(log);
    TestRemoveFile(dir + "selfreg.log");
    TestRemoveFile(dir + "selfreg.fail");
  }
  std::string Log() { return TestReadFile(log); }
  std::string log, dir;
};

TEST_F(ShellWin32Test, InstallServicesStartAndStop) {
  ASSERT_EQ(1, ShellServicesInit());
  EXPECT_EQ(std::string::npos, Log().find("Failed to initialize OLE"));
  EXPECT_EQ(std::string::npos, Log().find("Couldn't init DDE"));
  EXPECT_EQ(1, ShellServicesRemove());
  // and again: every Init has its Remove
  ASSERT_EQ(1, ShellServicesInit());
  EXPECT_EQ(1, ShellServicesRemove());
}

TEST_F(ShellWin32Test, RegisterServerCallsTheLibrarysEntryPoints) {
  std::string library = dir + "selfreg.dll";
  EXPECT_EQ(1, OleSelfRegister(library.c_str(), 1));
  EXPECT_EQ(1, OleSelfRegister(library.c_str(), 0));
  EXPECT_EQ("DllRegisterServer\nDllUnregisterServer\n", TestReadFile(dir + "selfreg.log"));
  // a negative answer of the entry point is a failure
  FILE *f = fopen((dir + "selfreg.fail").c_str(), "wb");
  fclose(f);
  EXPECT_EQ(0, OleSelfRegister(library.c_str(), 1));
  EXPECT_NE(std::string::npos, Log().find("Failed in executing entry point from '" + library + "'\r\n"));
}

TEST_F(ShellWin32Test, FilesThatAreNoSelfRegisteringLibraryAreReported) {
  std::string text = dir + "shell-win32-not-a-library.dll";
  FILE *f = fopen(text.c_str(), "wb");
  fputs("plain text, not a library\r\n", f);
  fclose(f);
  EXPECT_EQ(0, OleSelfRegister(text.c_str(), 1));
  EXPECT_NE(std::string::npos, Log().find("Error attempting to load '" + text + "' (0x"));
  TestRemoveFile(text);
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  std::string kernel = std::string(system) + "\\kernel32.dll";
  EXPECT_EQ(0, OleSelfRegister(kernel.c_str(), 1));
  EXPECT_NE(std::string::npos, Log().find("Couldn't get entry point from '" + kernel + "'\r\n"));
}

TEST_F(ShellWin32Test, FontIsAddedForTheRunAndRemovedWithItsFile) {
  std::string font = dir + "shell-win32-font.ttf";
  // The example product's own font, copied beside this program by the build.
  ASSERT_TRUE(CopyFileA((dir + "test-font.ttf").c_str(), font.c_str(), FALSE));
  EXPECT_EQ(1, FontResourceAdd(font.c_str())) << Log();
  EXPECT_EQ(1, FontResourceRemove(font.c_str()));
  EXPECT_FALSE(TestFileExists(font));
  // not a font: nothing added, and the file stays where it is
  FILE *f = fopen(font.c_str(), "wb");
  fputs("no font", f);
  fclose(f);
  EXPECT_EQ(0, FontResourceAdd(font.c_str()));
  EXPECT_NE(std::string::npos, Log().find("Unable to add font resource for '" + font + "' (0x"));
  EXPECT_TRUE(TestFileExists(font));
  TestRemoveFile(font);
}

}  // namespace
