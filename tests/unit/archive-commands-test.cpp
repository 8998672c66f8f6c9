// The ffsbuild archive commands, run in-process: pack, stub, list, extract
// and verify, their exit codes and messages, and reproducible output.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive-writer.h"
#include "commands.h"
#include "ffs-test-support.h"
#include "ffs.h"
#include "test-support.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int rc;
  std::string out, err;
};

Result Invoke(int (*command)(int, char **), std::vector<std::string> args) {
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  Result r;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  r.rc = command((int)args.size(), argv.data());
  fflush(stdout);
  fflush(stderr);
  r.out = testing::internal::GetCapturedStdout();
  r.err = testing::internal::GetCapturedStderr();
  return r;
}

void Put(const std::string &path, const std::string &text) {
  fs::create_directories(fs::path(path).parent_path());
  WriteTestFile(path, Text(text));
}

// A payload tree with text, a repetitive file, a nested file and a file
// that begins like packed data.
std::string MakeTree(const std::string &root) {
  fs::remove_all(root);
  std::string text;
  for (int i = 0; i < 200; i++) text += "line " + std::to_string(i % 17) + " of the licence text\n";
  Put(root + "/install.dat", "TITLE Demo\nBREAK\n");
  Put(root + "/licence.txt", text);
  Put(root + "/bin/sub/app.exe", "MZ" + std::string(3000, '\x90') + "end");
  Put(root + "/FFC!.bin", "FFC!" + std::string(100, 'x'));
  return root;
}

class ArchiveCommands : public ::testing::Test {
 protected:
  void SetUp() override { fs::remove_all("cmd-test"); fs::create_directories("cmd-test"); }
  void TearDown() override { FfsRemove(); fs::remove_all("cmd-test"); }
};

TEST_F(ArchiveCommands, PackExtractRoundTripForEveryMethod) {
  MakeTree("cmd-test/tree");
  for (const char *method : {"auto", "raw", "1", "2"}) {
    if ((method[0] == '1' && !MethodAvailable(1)) || (method[0] == '2' && !MethodAvailable(2))) continue;
    // The file with the packed signature needs some packer, even for raw.
    if (!MethodAvailable(1) && !MethodAvailable(2)) fs::remove("cmd-test/tree/FFC!.bin");
    std::string archive = std::string("cmd-test/") + method + ".ffs";
    Result pack = Invoke(CommandPack, {"-m", method, "-o", archive, "--names", archive + ".names", "cmd-test/tree"});
    ASSERT_EQ(0, pack.rc) << pack.err;
    EXPECT_EQ("", pack.err);
    std::string out = std::string("cmd-test/out-") + method;
    Result extract = Invoke(CommandExtract, {"-C", out, "--names", archive + ".names", archive});
    ASSERT_EQ(0, extract.rc) << extract.err;
    for (const auto &entry : fs::recursive_directory_iterator("cmd-test/tree")) {
      if (!entry.is_regular_file()) continue;
      std::string relative = fs::relative(entry.path(), "cmd-test/tree").generic_string();
      EXPECT_EQ(TestReadFile(entry.path().string()), TestReadFile(out + "/" + relative)) << method << " " << relative;
    }
    Result verify = Invoke(CommandVerify, {"--names", archive + ".names", archive});
    EXPECT_EQ(0, verify.rc) << verify.err;
  }
  if (!MethodAvailable(1) || !MethodAvailable(2)) GTEST_SKIP() << "packed methods not available yet; raw and auto ran";
}

TEST_F(ArchiveCommands, SameInputGivesIdenticalFiles) {
  MakeTree("cmd-test/tree");
  if (!MethodAvailable(1) && !MethodAvailable(2)) fs::remove("cmd-test/tree/FFC!.bin");
  ASSERT_EQ(0, Invoke(CommandPack, {"-o", "cmd-test/a.ffs", "cmd-test/tree"}).rc);
  ASSERT_EQ(0, Invoke(CommandPack, {"-o", "cmd-test/b.ffs", "cmd-test/tree"}).rc);
  EXPECT_EQ(TestReadFile("cmd-test/a.ffs"), TestReadFile("cmd-test/b.ffs"));
  Put("cmd-test/stub.exe", "MZ stub");
  ASSERT_EQ(0, Invoke(CommandStub, {"-o", "cmd-test/a.exe", "cmd-test/stub.exe", "cmd-test/a.ffs"}).rc);
  ASSERT_EQ(0, Invoke(CommandStub, {"-o", "cmd-test/b.exe", "cmd-test/stub.exe", "cmd-test/b.ffs"}).rc);
  EXPECT_EQ(TestReadFile("cmd-test/a.exe"), TestReadFile("cmd-test/b.exe"));
}

TEST_F(ArchiveCommands, StubGivesAnInstallerTheReaderMounts) {
  Put("cmd-test/p/install.dat", "TITLE Demo\nBREAK\nINSTALL docs\\readme.txt\n");
  Put("cmd-test/p/docs/readme.txt", "read me, read me, read me");
  Put("cmd-test/stub.exe", "MZ" + std::string(500, 'S'));
  ASSERT_EQ(0, Invoke(CommandPack, {"-o", "cmd-test/p.ffs", "cmd-test/p"}).rc);
  Result stub = Invoke(CommandStub, {"-o", "cmd-test/setup.exe", "cmd-test/stub.exe", "cmd-test/p.ffs"});
  ASSERT_EQ(0, stub.rc) << stub.err;
  std::string installer = TestReadFile("cmd-test/setup.exe");
  EXPECT_EQ(0, installer.compare(0, 502, TestReadFile("cmd-test/stub.exe")));
  ASSERT_EQ(1, FfsInit("cmd-test/setup.exe"));
  Bytes content;
  ASSERT_TRUE(LoadByName("DOCS\\README.TXT", &content));
  EXPECT_EQ(Text("read me, read me, read me"), content);
  ASSERT_TRUE(LoadByName("install.dat", &content));
  FfsRemove();
  // A finished installer is no stub, and is no archive to append either.
  Result again = Invoke(CommandStub, {"-o", "cmd-test/x.exe", "cmd-test/setup.exe", "cmd-test/p.ffs"});
  EXPECT_EQ(1, again.rc);
  EXPECT_EQ(0u, again.err.find("ffsbuild: cmd-test/setup.exe: ")) << again.err;
  again = Invoke(CommandStub, {"-o", "cmd-test/x.exe", "cmd-test/stub.exe", "cmd-test/setup.exe"});
  EXPECT_EQ(1, again.rc);
  EXPECT_EQ(0u, again.err.find("ffsbuild: cmd-test/setup.exe: ")) << again.err;
  EXPECT_FALSE(TestFileExists("cmd-test/x.exe"));
}

TEST_F(ArchiveCommands, ListShowsEveryEntryWithKnownNames) {
  Put("cmd-test/A.TXT", "0123456789ABCDEF");
  ASSERT_EQ(0, Invoke(CommandPack, {"-m", "raw", "--no-turbo", "-o", "cmd-test/a.ffs", "cmd-test/A.TXT"}).rc);
  Bytes vector48 = Vector48();
  EXPECT_EQ(TestReadFile("cmd-test/a.ffs"), std::string(vector48.begin(), vector48.end()));
  Result list = Invoke(CommandList, {"cmd-test/a.ffs", "a.txt"});
  EXPECT_EQ(0, list.rc);
  EXPECT_EQ("archive at offset 0, 1 entry, flags 0x00000000\n"
            "hash          offset      stored  method        size  name\n"
            "968D9A34          24          16  raw             16  a.txt\n",
            list.out);
  // Unnamed entries are listed too; a damaged record is shown and fails.
  std::string bytes = TestReadFile("cmd-test/a.ffs");
  bytes[24] ^= 1;
  WriteTestFile("cmd-test/bad.ffs", Bytes(bytes.begin(), bytes.end()));
  list = Invoke(CommandList, {"cmd-test/bad.ffs"});
  EXPECT_EQ(1, list.rc);
  EXPECT_NE(std::string::npos, list.out.find("968D9A34          24           -  -"));
  EXPECT_EQ("ffsbuild: cmd-test/bad.ffs: entry 968D9A34: record holds hash 968D9A35 instead\n", list.err);
  Result verify = Invoke(CommandVerify, {"cmd-test/bad.ffs"});
  EXPECT_EQ(1, verify.rc);
  EXPECT_EQ("", verify.out);
}

TEST_F(ArchiveCommands, ErrorsNameTheFileAndFail) {
  Put("cmd-test/one.txt", "one");
  Put("cmd-test/two.txt", "two");
  Put("cmd-test/empty.txt", "");
  Result r = Invoke(CommandPack, {"-o", "cmd-test/x.ffs", "--as", "readme.txt", "cmd-test/one.txt", "--as", "README.TXT",
                               "cmd-test/two.txt"});
  EXPECT_EQ(1, r.rc);
  EXPECT_EQ(0u, r.err.find("ffsbuild: cmd-test/two.txt: 'README.TXT' and 'readme.txt' have the same hash")) << r.err;
  EXPECT_FALSE(TestFileExists("cmd-test/x.ffs"));
  r = Invoke(CommandPack, {"-o", "cmd-test/x.ffs", "cmd-test/missing.txt"});
  EXPECT_EQ(1, r.rc);
  EXPECT_EQ(0u, r.err.find("ffsbuild: cmd-test/missing.txt: ")) << r.err;
  r = Invoke(CommandPack, {"-o", "cmd-test/x.ffs", "cmd-test/empty.txt"});
  EXPECT_EQ(1, r.rc);
  EXPECT_NE(std::string::npos, r.err.find("empty")) << r.err;
  r = Invoke(CommandPack, {"-m", "7", "-o", "cmd-test/x.ffs", "cmd-test/one.txt"});
  EXPECT_EQ(2, r.rc);
  EXPECT_EQ(2, Invoke(CommandPack, {"cmd-test/one.txt"}).rc);
  EXPECT_EQ(2, Invoke(CommandPack, {"--bogus", "-o", "x", "cmd-test/one.txt"}).rc);
  WriteTestFile("cmd-test/48.ffs", Vector48());
  EXPECT_EQ(2, Invoke(CommandExtract, {"cmd-test/48.ffs"}).rc);  // nothing asked for
  r = Invoke(CommandList, {"cmd-test/one.txt"});
  EXPECT_EQ(1, r.rc);
  EXPECT_EQ(0u, r.err.find("ffsbuild: cmd-test/one.txt: contains no archive")) << r.err;
  for (auto command : {CommandPack, CommandStub, CommandList, CommandExtract, CommandVerify}) {
    r = Invoke(command, {"--help"});
    EXPECT_EQ(0, r.rc);
    EXPECT_EQ(0u, r.out.find("usage: ffsbuild "));
  }
}

TEST_F(ArchiveCommands, ExtractWritesOnlyBelowItsDirectory) {
  Put("cmd-test/one.txt", "one");
  ASSERT_EQ(0, Invoke(CommandPack, {"-o", "cmd-test/x.ffs", "--as", "..\\escape.txt", "cmd-test/one.txt", "--as",
                                 "ok.txt", "cmd-test/one.txt"}).rc);
  Result r = Invoke(CommandExtract, {"-C", "cmd-test/out", "cmd-test/x.ffs", "..\\escape.txt", "ok.txt", "absent.txt"});
  EXPECT_EQ(1, r.rc);
  EXPECT_NE(std::string::npos, r.err.find("'..\\escape.txt' would be written outside the target directory"));
  EXPECT_NE(std::string::npos, r.err.find("no entry named 'absent.txt'"));
  EXPECT_FALSE(TestFileExists("cmd-test/escape.txt"));
  EXPECT_EQ("one", TestReadFile("cmd-test/out/ok.txt"));
  // --all names the unknown entries by their hash.
  r = Invoke(CommandExtract, {"--all", "-C", "cmd-test/all", "cmd-test/x.ffs"});
  EXPECT_EQ(0, r.rc) << r.err;
  char hashName[32];
  snprintf(hashName, sizeof hashName, "cmd-test/all/%08X.bin", (unsigned)ArchiveHashName("ok.txt"));
  EXPECT_EQ("one", TestReadFile(hashName));
}

}  // namespace
