// The ffsbuild archive commands, run in-process: pack, stub, list, extract
// and verify, their exit codes and messages, and reproducible output.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive-writer.h"
#include "cli.h"
#include "ffs-test-support.h"
#include "ffs.h"
#include "pack3.h"
#include "test-support.h"

namespace fs = std::filesystem;

namespace {

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
  for (const char *method : {"auto", "smallest", "raw", "1", "2", "3"}) {
    if (method[0] == '3' && !Pack3Available()) continue;
    std::string archive = std::string("cmd-test/") + method + ".ffs";
    CliResult pack = TestRunCli(CliPack, {"-m", method, "-o", archive, "--names", archive + ".names", "cmd-test/tree"});
    ASSERT_EQ(0, pack.rc) << pack.err;
    EXPECT_EQ("", pack.err);
    std::string out = std::string("cmd-test/out-") + method;
    CliResult extract = TestRunCli(CliExtract, {"-C", out, "--names", archive + ".names", archive});
    ASSERT_EQ(0, extract.rc) << extract.err;
    for (const auto &entry : fs::recursive_directory_iterator("cmd-test/tree")) {
      if (!entry.is_regular_file()) continue;
      std::string relative = fs::relative(entry.path(), "cmd-test/tree").generic_string();
      EXPECT_EQ(TestReadFile(entry.path().string()), TestReadFile(out + "/" + relative)) << method << " " << relative;
    }
    CliResult verify = TestRunCli(CliVerify, {"--names", archive + ".names", archive});
    EXPECT_EQ(0, verify.rc) << verify.err;
  }
}

TEST_F(ArchiveCommands, SameInputGivesIdenticalFiles) {
  MakeTree("cmd-test/tree");
  ASSERT_EQ(0, TestRunCli(CliPack, {"-o", "cmd-test/a.ffs", "cmd-test/tree"}).rc);
  ASSERT_EQ(0, TestRunCli(CliPack, {"-o", "cmd-test/b.ffs", "cmd-test/tree"}).rc);
  EXPECT_EQ(TestReadFile("cmd-test/a.ffs"), TestReadFile("cmd-test/b.ffs"));
  Put("cmd-test/stub.exe", "MZ stub");
  ASSERT_EQ(0, TestRunCli(CliStub, {"-o", "cmd-test/a.exe", "cmd-test/stub.exe", "cmd-test/a.ffs"}).rc);
  ASSERT_EQ(0, TestRunCli(CliStub, {"-o", "cmd-test/b.exe", "cmd-test/stub.exe", "cmd-test/b.ffs"}).rc);
  EXPECT_EQ(TestReadFile("cmd-test/a.exe"), TestReadFile("cmd-test/b.exe"));
}

TEST_F(ArchiveCommands, StubGivesAnInstallerTheReaderMounts) {
  Put("cmd-test/p/install.dat", "TITLE Demo\nBREAK\nINSTALL docs\\readme.txt\n");
  Put("cmd-test/p/docs/readme.txt", "read me, read me, read me");
  Put("cmd-test/stub.exe", "MZ" + std::string(500, 'S'));
  ASSERT_EQ(0, TestRunCli(CliPack, {"-o", "cmd-test/p.ffs", "cmd-test/p"}).rc);
  CliResult stub = TestRunCli(CliStub, {"-o", "cmd-test/setup.exe", "cmd-test/stub.exe", "cmd-test/p.ffs"});
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
  CliResult again = TestRunCli(CliStub, {"-o", "cmd-test/x.exe", "cmd-test/setup.exe", "cmd-test/p.ffs"});
  EXPECT_EQ(1, again.rc);
  EXPECT_EQ(0u, again.err.find("ffsbuild: cmd-test/setup.exe: ")) << again.err;
  again = TestRunCli(CliStub, {"-o", "cmd-test/x.exe", "cmd-test/stub.exe", "cmd-test/setup.exe"});
  EXPECT_EQ(1, again.rc);
  EXPECT_EQ(0u, again.err.find("ffsbuild: cmd-test/setup.exe: ")) << again.err;
  EXPECT_FALSE(TestFileExists("cmd-test/x.exe"));
}

TEST_F(ArchiveCommands, ListShowsEveryEntryWithKnownNames) {
  Put("cmd-test/A.TXT", "0123456789ABCDEF");
  ASSERT_EQ(0, TestRunCli(CliPack, {"-m", "raw", "--no-turbo", "-o", "cmd-test/a.ffs", "cmd-test/A.TXT"}).rc);
  Bytes vector48 = Vector48();
  EXPECT_EQ(TestReadFile("cmd-test/a.ffs"), std::string(vector48.begin(), vector48.end()));
  CliResult list = TestRunCli(CliList, {"cmd-test/a.ffs", "a.txt"});
  EXPECT_EQ(0, list.rc);
  EXPECT_EQ("archive at offset 0, 1 entry, flags 0x00000000\n"
            "hash          offset      stored  method        size  name\n"
            "968D9A34          24          16  raw             16  a.txt\n",
            list.out);
  // Unnamed entries are listed too; a damaged record is shown and fails.
  std::string bytes = TestReadFile("cmd-test/a.ffs");
  bytes[24] ^= 1;
  WriteTestFile("cmd-test/bad.ffs", Bytes(bytes.begin(), bytes.end()));
  list = TestRunCli(CliList, {"cmd-test/bad.ffs"});
  EXPECT_EQ(1, list.rc);
  EXPECT_NE(std::string::npos, list.out.find("968D9A34          24           -  -"));
  EXPECT_EQ("ffsbuild: cmd-test/bad.ffs: entry 968D9A34: record holds hash 968D9A35 instead\n", list.err);
  CliResult verify = TestRunCli(CliVerify, {"cmd-test/bad.ffs"});
  EXPECT_EQ(1, verify.rc);
  EXPECT_EQ("", verify.out);
}

TEST_F(ArchiveCommands, Method3IsListedAndItsOptionsChecked) {
  Put("cmd-test/A.TXT", std::string(1000, 'a'));
  CliResult bad = TestRunCli(CliPack, {"--level", "10", "-o", "cmd-test/b.ffs", "cmd-test/A.TXT"});
  EXPECT_EQ(2, bad.rc);
  EXPECT_NE(std::string::npos, bad.err.find("level '10' is not a number from 0 to 9")) << bad.err;
  CliResult pack = TestRunCli(CliPack, {"-m", "3", "--level", "1", "-o", "cmd-test/a.ffs", "cmd-test/A.TXT"});
  if (!Pack3Available()) {  // a builder without liblzma says so
    EXPECT_EQ(2, pack.rc);
    EXPECT_NE(std::string::npos, pack.err.find("method 3 is not available")) << pack.err;
    return;
  }
  ASSERT_EQ(0, pack.rc) << pack.err;
  CliResult list = TestRunCli(CliList, {"cmd-test/a.ffs", "a.txt"});
  EXPECT_EQ(0, list.rc) << list.err;
  EXPECT_NE(std::string::npos, list.out.find("flags 0x00000009\n")) << list.out;
  EXPECT_NE(std::string::npos, list.out.find("  3             1000  a.txt\n")) << list.out;
}

TEST_F(ArchiveCommands, ErrorsNameTheFileAndFail) {
  Put("cmd-test/one.txt", "one");
  Put("cmd-test/two.txt", "two");
  Put("cmd-test/empty.txt", "");
  CliResult r = TestRunCli(CliPack, {"-o", "cmd-test/x.ffs", "--as", "readme.txt", "cmd-test/one.txt", "--as", "README.TXT",
                               "cmd-test/two.txt"});
  EXPECT_EQ(1, r.rc);
  EXPECT_EQ(0u, r.err.find("ffsbuild: cmd-test/two.txt: 'README.TXT' and 'readme.txt' have the same hash")) << r.err;
  EXPECT_FALSE(TestFileExists("cmd-test/x.ffs"));
  for (const char *outside : {"..\\x.txt", "C:\\x.txt", "\\x.txt", "a\\..\\..\\x.txt"}) {
    r = TestRunCli(CliPack, {"-o", "cmd-test/x.ffs", "--as", outside, "cmd-test/one.txt"});
    EXPECT_EQ(1, r.rc) << outside;
    EXPECT_EQ(std::string("ffsbuild: ") + outside +
                  ": leads outside the destination directory (absolute, a drive, or '..')\n",
              r.err);
    EXPECT_FALSE(TestFileExists("cmd-test/x.ffs"));
  }
  r = TestRunCli(CliPack, {"-o", "cmd-test/x.ffs", "cmd-test/missing.txt"});
  EXPECT_EQ(1, r.rc);
  EXPECT_EQ(0u, r.err.find("ffsbuild: cmd-test/missing.txt: ")) << r.err;
  r = TestRunCli(CliPack, {"-o", "cmd-test/x.ffs", "cmd-test/empty.txt"});
  EXPECT_EQ(1, r.rc);
  EXPECT_NE(std::string::npos, r.err.find("empty")) << r.err;
  r = TestRunCli(CliPack, {"-m", "7", "-o", "cmd-test/x.ffs", "cmd-test/one.txt"});
  EXPECT_EQ(2, r.rc);
  EXPECT_EQ(2, TestRunCli(CliPack, {"cmd-test/one.txt"}).rc);
  EXPECT_EQ(2, TestRunCli(CliPack, {"--bogus", "-o", "x", "cmd-test/one.txt"}).rc);
  WriteTestFile("cmd-test/48.ffs", Vector48());
  EXPECT_EQ(2, TestRunCli(CliExtract, {"cmd-test/48.ffs"}).rc);  // nothing asked for
  r = TestRunCli(CliList, {"cmd-test/one.txt"});
  EXPECT_EQ(1, r.rc);
  EXPECT_EQ(0u, r.err.find("ffsbuild: cmd-test/one.txt: contains no archive")) << r.err;
  for (auto command : {CliPack, CliStub, CliList, CliExtract, CliVerify}) {
    r = TestRunCli(command, {"--help"});
    EXPECT_EQ(0, r.rc);
    EXPECT_EQ(0u, r.out.find("usage: ffsbuild "));
  }
}

TEST_F(ArchiveCommands, ExtractWritesOnlyBelowItsDirectory) {
  // pack refuses such a name: the archive is written as another tool might.
  ArchiveWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Add("..\\escape.txt", Text("one"), ARCHIVE_RAW, &error)) << error;
  ASSERT_TRUE(writer.Add("ok.txt", Text("one"), ARCHIVE_RAW, &error)) << error;
  Bytes archive;
  ASSERT_TRUE(writer.Write(0, false, &archive, &error)) << error;
  WriteTestFile("cmd-test/x.ffs", archive);
  CliResult r = TestRunCli(CliExtract, {"-C", "cmd-test/out", "cmd-test/x.ffs", "..\\escape.txt", "ok.txt", "absent.txt"});
  EXPECT_EQ(1, r.rc);
  EXPECT_NE(std::string::npos, r.err.find("'..\\escape.txt' would be written outside the target directory"));
  EXPECT_NE(std::string::npos, r.err.find("no entry named 'absent.txt'"));
  EXPECT_FALSE(TestFileExists("cmd-test/escape.txt"));
  EXPECT_EQ("one", TestReadFile("cmd-test/out/ok.txt"));
  // --all names the unknown entries by their hash.
  r = TestRunCli(CliExtract, {"--all", "-C", "cmd-test/all", "cmd-test/x.ffs"});
  EXPECT_EQ(0, r.rc) << r.err;
  char hashName[32];
  snprintf(hashName, sizeof hashName, "cmd-test/all/%08X.bin", (unsigned)ArchiveHashName("ok.txt"));
  EXPECT_EQ("one", TestReadFile(hashName));
}

TEST_F(ArchiveCommands, SignedInstallersListExtractAndVerify) {
  Put("cmd-test/p/readme.txt", "read me, read me, read me");
  WriteTestFile("cmd-test/stub.exe", FakePeStub(600));
  ASSERT_EQ(0, TestRunCli(CliPack, {"-o", "cmd-test/p.ffs", "cmd-test/p"}).rc);
  ASSERT_EQ(0, TestRunCli(CliStub, {"-o", "cmd-test/setup.exe", "cmd-test/stub.exe", "cmd-test/p.ffs"}).rc);
  std::string plain = TestReadFile("cmd-test/setup.exe");
  CliResult verify = TestRunCli(CliVerify, {"cmd-test/setup.exe"});
  EXPECT_EQ(0u, verify.out.find("cmd-test/setup.exe: not signed\ncmd-test/setup.exe: integrity record matches"))
      << verify.out << verify.err;
  Bytes signedFile = FakeSign(Bytes(plain.begin(), plain.end()), 800);
  WriteTestFile("cmd-test/signed.exe", signedFile);
  verify = TestRunCli(CliVerify, {"cmd-test/signed.exe"});  // a table no signature checker accepts
  EXPECT_NE(std::string::npos, (verify.out + verify.err)
                                   .find(": signed: a certificate table of 800 bytes at offset " +
                                         std::to_string(plain.size())))
      << verify.out << verify.err;
  EXPECT_EQ(0, TestRunCli(CliExtract, {"-C", "cmd-test/out", "cmd-test/signed.exe", "readme.txt"}).rc);
  EXPECT_EQ("read me, read me, read me", TestReadFile("cmd-test/out/readme.txt"));
  // Altered after signing, just before the record: the check fails.
  signedFile[plain.size() - 21] ^= 1;
  WriteTestFile("cmd-test/signed.exe", signedFile);
  verify = TestRunCli(CliVerify, {"cmd-test/signed.exe"});
  EXPECT_EQ(1, verify.rc);
  EXPECT_NE(std::string::npos, verify.err.find("ffsbuild: cmd-test/signed.exe: integrity check failed: bytes 0 to "))
      << verify.err;
}

}  // namespace
