// ffsbuild compile, decompile and build as commands: files in, files out,
// and a finished installer the reader mounts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive-reader.h"
#include "cli.h"
#include "ffs.h"
#include "fsutil.h"
#include "script-compiler.h"
#include "script.h"
#include "test-support.h"

namespace {

const char *const kDir = "script-build-test";

void Write(const std::string &path, const std::string &text) {
  std::string error;
  ASSERT_TRUE(FsMakeParents(path, &error)) << error;
  ASSERT_TRUE(FsWriteFile(path, std::vector<uint8_t>(text.begin(), text.end()), &error)) << error;
}

std::string At(const std::string &name) { return std::string(kDir) + "/" + name; }

int Invoke(int (*command)(int, char **), std::vector<std::string> args) {
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(&a[0]);
  return command((int)argv.size(), argv.data());
}

class ScriptBuildTest : public testing::Test {
 protected:
  void SetUp() override {
    Write(At("payload/readme.txt"), "Read me.\r\n");
    Write(At("payload/sub/app.exe"), std::string(3000, 'A') + "tail");
    Write(At("payload/font.ttf"), "font bytes");
    Write(At("stub.exe"), "MZ" + std::string(510, '\0'));
    Write(At("setup.txt"),
          "# the test installer\n"
          "PRODUCT NAME: Widget\n"
          "FILE LIST: readme.txt,sub\\app.exe\n"
          "FONT: 1 | font.ttf\n"
          "BREAK\n"
          "INSTALL\n");
  }
  void TearDown() override {
    for (const char *f : {"payload/readme.txt", "payload/sub/app.exe", "payload/font.ttf", "payload/install.dat",
                          "stub.exe", "setup.txt", "bad.txt", "empty.txt", "setup.exe", "install.dat", "back.txt"})
      TestRemoveFile(At(f));
  }
};

TEST_F(ScriptBuildTest, CompileAndDecompileFiles) {
  EXPECT_EQ(0, Invoke(CliCompile, {"-o", At("install.dat"), "--payload", At("payload"), At("setup.txt")}));
  std::string dat = TestReadFile(At("install.dat"));
  EXPECT_EQ(MARK "PRODUCT NAME:Widget\r\n" MARK "FILE LIST:readme.txt,sub\\app.exe\r\n"
            MARK "FONT:1" MARK "font.ttf\r\n"
            MARK "BREAK:\r\n" MARK "INSTALL:\r\n",
            dat);
  EXPECT_EQ(0, Invoke(CliDecompile, {At("install.dat"), "--output=" + At("back.txt")}));
  EXPECT_EQ("PRODUCT NAME: Widget\nFILE LIST: readme.txt,sub\\app.exe\nFONT: 1 | font.ttf\nBREAK\nINSTALL\n",
            TestReadFile(At("back.txt")));
  Write(At("bad.txt"), "FONT: 1 | missing.ttf\n");
  TestRemoveFile(At("install.dat"));
  EXPECT_EQ(1, Invoke(CliCompile, {"-o", At("install.dat"), "--payload", At("payload"), At("bad.txt")}));
  EXPECT_FALSE(TestFileExists(At("install.dat")));
  EXPECT_EQ(2, Invoke(CliCompile, {"--bogus", At("bad.txt")}));
  EXPECT_EQ(2, Invoke(CliCompile, {}));
}

TEST_F(ScriptBuildTest, BuildMakesAnInstallerTheReaderMounts) {
  ASSERT_EQ(0, Invoke(CliBuild, {"-o", At("setup.exe"), "--stub", At("stub.exe"), At("setup.txt"), At("payload")}));
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(FsReadFile(At("setup.exe"), &file, &error)) << error;
  ArchiveImage image;
  ASSERT_TRUE(ArchiveParse(file, &image, &error)) << error;
  EXPECT_TRUE(image.trailer);
  EXPECT_EQ(512u, image.start);
  // install.dat and the three files, members of one solid block
  EXPECT_EQ(5u, image.records.size());

  // the installer finds its script in its own file
  std::string path = At("setup.exe");
  ASSERT_EQ(1, FfsInit(path.c_str()));
  InstallScript *script = NULL;
  ASSERT_EQ(1, ScriptLoad(&script, "install.dat"));
  EXPECT_EQ(std::string(MARK "PRODUCT NAME:Widget\r\n"), std::string(script->text, 22));
  char name[] = "sub\\app.exe";
  uint32_t size = 0;
  EXPECT_EQ(1, FfsGetSize(name, &size));
  EXPECT_EQ(3004u, size);
  ScriptFree(&script);
  FfsRemove();

  // and decompile reads the script out of the installer
  EXPECT_EQ(0, Invoke(CliDecompile, {"-o", At("back.txt"), At("setup.exe")}));
  EXPECT_EQ(0u, TestReadFile(At("back.txt")).find("PRODUCT NAME: Widget\n"));
}

TEST_F(ScriptBuildTest, BuildStopsOnErrors) {
  Write(At("bad.txt"), "FILE LIST: readme.txt,nothere.txt\nINSTALL\n");
  EXPECT_EQ(1, Invoke(CliBuild, {"-o", At("setup.exe"), "--stub", At("stub.exe"), At("bad.txt"), At("payload")}));
  Write(At("empty.txt"), "# nothing to do\n");
  EXPECT_EQ(1, Invoke(CliBuild, {"-o", At("setup.exe"), "--stub", At("stub.exe"), At("empty.txt"), At("payload")}));
  EXPECT_EQ(1, Invoke(CliBuild, {"-o", At("setup.exe"), "--stub", At("no-stub.exe"), At("setup.txt"), At("payload")}));
  EXPECT_EQ(1, Invoke(CliBuild, {"-o", At("setup.exe"), "--stub", At("stub.exe"), At("setup.txt"), At("nowhere")}));
  // --arch with --stub: the stub must be a program of that processor.
  EXPECT_EQ(1, Invoke(CliBuild, {"-o", At("setup.exe"), "--arch", "x64", "--stub", At("stub.exe"), At("setup.txt"),
                                 At("payload")}));
  Write(At("payload/install.dat"), "own");
  EXPECT_EQ(1, Invoke(CliBuild, {"-o", At("setup.exe"), "--stub", At("stub.exe"), At("setup.txt"), At("payload")}));
  EXPECT_FALSE(TestFileExists(At("setup.exe")));
  EXPECT_EQ(2, Invoke(CliBuild, {At("setup.txt"), At("payload")}));  // no output
  EXPECT_EQ(2, Invoke(CliBuild, {"-o", At("x.exe"), "-m", "7", At("setup.txt"), At("payload")}));
  EXPECT_EQ(2, Invoke(CliBuild, {"-o", At("x.exe"), "--arch", "arm", At("setup.txt"), At("payload")}));
}

}  // namespace
