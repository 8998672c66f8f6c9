// ffsbuild build --sign: what a build that cannot sign says and leaves, and
// a real signature (osslsigncode, a certificate openssl makes here) that the
// reader and the check accept and that an alteration breaks for both.
// Running signed installers is tested end to end under Wine.
#include <stdlib.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive-reader.h"
#include "cli.h"
#include "ffs.h"
#include "fsutil.h"
#include "signing.h"
#include "test-support.h"
#include "ffs-test-support.h"

namespace {

const char *const kDir = "signing-test";

std::string At(const std::string &name) { return std::string(kDir) + "/" + name; }

void Write(const std::string &path, const std::string &text) {
  std::string error;
  ASSERT_TRUE(FsMakeParents(path, &error)) << error;
  ASSERT_TRUE(FsWriteFile(path, std::vector<uint8_t>(text.begin(), text.end()), &error)) << error;
}

int Build(std::vector<std::string> extra, std::string *err) {
  std::vector<std::string> args = {"-o", At("setup.exe"), "--stub", At("stub.exe")};
  args.insert(args.end(), extra.begin(), extra.end());
  args.insert(args.end(), {At("setup.txt"), At("payload")});
  CliResult r = TestRunCli(CliBuild, args);
  *err = r.err;
  return r.rc;
}

class Signing : public testing::Test {
 protected:
  void SetUp() override {
    Write(At("payload/readme.txt"), std::string(2000, 'r'));
    WriteTestFile(At("stub.exe"), FakePeStub(4096));
    Write(At("setup.txt"), "FILE LIST: readme.txt\nBREAK\nINSTALL\n");
    Write(At("pass.txt"), "test password\n");
  }
  void TearDown() override {
    for (const char *f : {"payload/readme.txt", "stub.exe", "setup.txt", "pass.txt", "key.pem", "cert.pem",
                          "cert.pfx", "setup.exe"})
      TestRemoveFile(At(f));
  }
  static bool Have(const char *program) { return system((std::string(program) + " >/dev/null 2>&1").c_str()) == 0; }
};

TEST_F(Signing, BuildThatCannotSignSaysWhyAndLeavesNoInstaller) {
  std::string err;
  EXPECT_EQ(2, Build({"--timestamp", "http://tsa.example/"}, &err));
  EXPECT_EQ(1, Build({"--sign", At("missing.pfx")}, &err));
  EXPECT_EQ(0u, err.find("ffsbuild: " + At("missing.pfx") + ": ")) << err;
  Write(At("cert.pfx"), "not really a certificate");
  std::string path = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", kDir, 1);  // no osslsigncode on the search path
  EXPECT_EQ(1, Build({"--sign", At("cert.pfx")}, &err));
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ("ffsbuild: " + At("setup.exe") +
                ": osslsigncode is not installed, and --sign needs it (on Debian: apt-get install osslsigncode)\n",
            err);
  EXPECT_FALSE(TestFileExists(At("setup.exe")) || TestFileExists(At("setup.exe.unsigned")));
  if (!Have("osslsigncode --version")) return;
  EXPECT_EQ(1, Build({"--sign", At("cert.pfx")}, &err));  // no PKCS#12 file: its lines, then ours
  EXPECT_NE(std::string::npos, err.find("ffsbuild: " + At("setup.exe") + ": osslsigncode could not sign it")) << err;
  EXPECT_FALSE(TestFileExists(At("setup.exe")));
}

TEST_F(Signing, SignedInstallerVerifiesMountsAndChecks) {
  if (!Have("osslsigncode --version") || !Have("openssl version"))
    GTEST_SKIP() << "osslsigncode or openssl is not installed (scripts/setup.sh installs both)";
  std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -keyout " + At("key.pem") + " -out " + At("cert.pem") +
                     " -days 2 -subj /CN=Test >/dev/null 2>&1 && openssl pkcs12 -export -inkey " + At("key.pem") +
                     " -in " + At("cert.pem") + " -out " + At("cert.pfx") + " -passout file:" + At("pass.txt");
  ASSERT_EQ(0, system(make.c_str()));
  std::string err;
  ASSERT_EQ(0, Build({"--sign", At("cert.pfx"), "--sign-password-file", At("pass.txt")}, &err)) << err;
  std::string verify = "osslsigncode verify -CAfile " + At("cert.pem") + " -in " + At("setup.exe");
  EXPECT_TRUE(Have(verify.c_str()));
  // ffsbuild verify asks osslsigncode: the signature holds for the signer
  // trusted with --ca, not for one nobody vouches for, nor once a byte of
  // the certificate table is changed.
  CliResult checked = TestRunCli(CliVerify, {"--ca", At("cert.pem"), At("setup.exe")});
  EXPECT_EQ(0, checked.rc) << checked.err;
  EXPECT_NE(std::string::npos, checked.out.find("; the signature holds (osslsigncode verify)\n")) << checked.out;
  checked = TestRunCli(CliVerify, {At("setup.exe")});
  EXPECT_EQ(1, checked.rc);
  EXPECT_NE(std::string::npos, checked.err.find(", and the signature does not hold: ")) << checked.err;
  std::string path = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", kDir, 1);
  checked = TestRunCli(CliVerify, {At("setup.exe")});
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(0, checked.rc) << checked.err;
  EXPECT_NE(std::string::npos,
            checked.out.find("; the signature itself was not checked: osslsigncode is not installed\n"))
      << checked.out;
  ASSERT_EQ(1, FfsInit(At("setup.exe").c_str()));
  EXPECT_EQ(1, FfsCheckIntegrity());
  FfsRemove();
  std::string bytes = TestReadFile(At("setup.exe"));
  ArchiveImage image;
  ASSERT_TRUE(ArchiveParse(Bytes(bytes.begin(), bytes.end()), &image, &err)) << err;
  EXPECT_EQ(0u, image.container.end % 8);
  EXPECT_LT(0u, ArchiveSignatureSize(image));
  std::string table = bytes;
  table[image.container.end + ArchiveSignatureSize(image) / 2] ^= 1;
  WriteTestFile(At("setup.exe"), Bytes(table.begin(), table.end()));
  checked = TestRunCli(CliVerify, {"--ca", At("cert.pem"), At("setup.exe")});
  EXPECT_EQ(1, checked.rc);
  EXPECT_NE(std::string::npos, checked.err.find(", and the signature does not hold: ")) << checked.err;
  // Altered after signing: neither the signature nor the check holds.
  bytes[image.start + 40] ^= 1;
  WriteTestFile(At("setup.exe"), Bytes(bytes.begin(), bytes.end()));
  EXPECT_FALSE(Have(verify.c_str()));
  ASSERT_EQ(1, FfsInit(At("setup.exe").c_str()));
  EXPECT_EQ(0, FfsCheckIntegrity());
  FfsRemove();
}

}  // namespace
