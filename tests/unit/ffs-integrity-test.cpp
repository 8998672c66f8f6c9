// Installers as signing leaves them, and the integrity record: the reader
// finds the archive in front of a certificate table (with or without an
// older build's padding), installers are written ready for signing, and
// every damaged byte is found at start-up, by the installer's check and by
// the builder's, while the fields signing rewrites are left out.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "archive-reader.h"
#include "archive-writer.h"
#include "ffs-test-support.h"
#include "ffs.h"

namespace {

struct Sample {
  ArchiveWriter writer;
  Bytes installer;  // as the builder writes it
  Bytes older;      // as an older build wrote it: no record, no alignment
};

// Packed text and zeros, and raw noise whose length (700 + extra) varies
// the older layout's size. Made once per extra: packing is the slow part.
const Sample &MakeSample(size_t extra = 0) {
  static std::map<size_t, Sample> made;
  if (made.count(extra)) return made[extra];
  Sample &s = made[extra];
  std::string error, text;
  for (int i = 0; i < 40; i++) text += "Line " + std::to_string(i % 9) + " of the readme.\n";
  Bytes noise;
  for (size_t i = 0; i < 700 + extra; i++) noise.push_back((uint8_t)((i * 2654435761u) >> 13));
  EXPECT_TRUE(s.writer.Add("install.dat", Text("TEXT: hi\n"), ARCHIVE_RAW, &error));
  EXPECT_TRUE(s.writer.Add("docs\\readme.txt", Text(text), ARCHIVE_AUTO, &error));
  EXPECT_TRUE(s.writer.Add("noise.bin", noise, ARCHIVE_RAW, &error));
  EXPECT_TRUE(s.writer.Add("zeros.bin", Bytes(900, 0), ARCHIVE_AUTO, &error));
  Bytes stub = FakePeStub(1024), archive;
  EXPECT_TRUE(ArchiveWriteInstaller(stub, s.writer, &s.installer, &error)) << error;
  EXPECT_TRUE(s.writer.Write((uint32_t)stub.size(), true, &archive, &error));
  s.older = stub;
  s.older.insert(s.older.end(), archive.begin(), archive.end());
  return s;
}

// Start-up as the installer runs it: the mount, then the check; with
// entries given, each must load after it. 1 when all of it passes.
int StartUp(const Bytes &file, std::string *log = nullptr, const Sample *entries = nullptr) {
  WriteTestFile("ffs-integrity.exe", file);
  int ok = 0;
  std::string text = LogOf([&] {
    ok = FfsInit("ffs-integrity.exe") && FfsCheckIntegrity();
    for (size_t i = 0; ok && entries && i < entries->writer.Count(); i++) {
      const ArchiveEntry &e = entries->writer.Entries()[i];
      Bytes content(e.contentSize);
      std::string name = e.name;  // loads alone, in stored order: the check must leave the fast path on
      ok = FfsLoad(&name[0], content.data(), e.contentSize) && (FfsFlags() & FFS_TURBO);
    }
    FfsRemove();
  });
  if (log) *log = text;
  return ok;
}

// The builder's check; a file it cannot parse counts as damaged.
ArchiveIntegrity BuilderCheck(const Bytes &file, ArchiveImage *image = nullptr) {
  ArchiveImage local;
  if (image == nullptr) image = &local;
  std::string error, what;
  if (!ArchiveParse(file, image, &error)) return ARCHIVE_INTEGRITY_DAMAGED;
  return ArchiveCheckIntegrity(file, *image, &what);
}

TEST(FfsIntegrity, InstallersAreReadyForSigningAndOlderOnesStillRun) {
  for (size_t extra = 0; extra < 8; extra++) {
    const Sample &s = MakeSample(extra);
    EXPECT_EQ(0u, s.installer.size() % FFS_INSTALLER_ALIGN) << extra;
    const Bytes signedFile = FakeSign(s.installer), signedOlder = FakeSign(s.older);
    ArchiveImage image;
    EXPECT_EQ(ARCHIVE_INTEGRITY_MATCHES, BuilderCheck(s.installer, &image));
    EXPECT_EQ(s.writer.Flags() | FFS_FLAG_INTEGRITY, image.flags);
    EXPECT_EQ(0u, ArchiveSignatureSize(image));
    EXPECT_EQ(ARCHIVE_INTEGRITY_MATCHES, BuilderCheck(signedFile, &image));
    EXPECT_EQ(s.installer.size(), image.container.end);  // signing added no padding
    EXPECT_EQ(1200u, ArchiveSignatureSize(image));
    // An older build's file, signed with 0 to 7 bytes of padding: no record.
    EXPECT_EQ(ARCHIVE_INTEGRITY_NONE, BuilderCheck(signedOlder, &image)) << extra;
    for (const Bytes *file : {&s.installer, &signedFile, &s.older, &signedOlder}) {
      std::string log;
      EXPECT_EQ(1, StartUp(*file, &log, &s)) << extra << ": " << log;
      EXPECT_EQ(std::string::npos, log.find("Integrity")) << log;
    }
  }
  // Padding that is not zero is no signer's: the archive is not found.
  size_t extra = 0;
  while (MakeSample(extra).older.size() % FFS_INSTALLER_ALIGN == 0) extra++;  // one that gets padding
  const Sample &s = MakeSample(extra);
  Bytes bad = FakeSign(s.older);
  bad[s.older.size()] = 1;
  EXPECT_EQ(0, StartUp(bad));
}

TEST(FfsIntegrity, EveryDamagedByteIsFoundAtStartUp) {
  const Sample &s = MakeSample();
  for (bool sign : {false, true}) {
    Bytes intact = sign ? FakeSign(s.installer) : s.installer;
    // Up to the trailer's end; the certificate table is the signature's affair.
    for (size_t at = 0; at < s.installer.size(); at++) {
      if ((at >= kFakePeChecksumAt && at < kFakePeChecksumAt + 4) ||
          (at >= kFakePeSecurityAt && at < kFakePeSecurityAt + 8))
        continue;  // what signing rewrites
      Bytes file = intact;
      file[at] ^= 0x10;
      EXPECT_EQ(ARCHIVE_INTEGRITY_DAMAGED, BuilderCheck(file)) << "sign " << sign << " at " << at;
      // The installer's reader on a sample: each part of the stub, the
      // header and directory, record heads, data, padding, record, trailer.
      if (at % 37 != 0 && at + 40 < s.installer.size() && (at < 1024 || at >= 1024 + 48)) continue;
      EXPECT_EQ(0, StartUp(file)) << "sign " << sign << " at " << at;
    }
    Bytes file = intact;
    file[kFakePeChecksumAt] ^= 0x10;
    EXPECT_EQ(1, StartUp(file));
    for (size_t cut : {(size_t)1, (size_t)4, (size_t)21, (size_t)600, intact.size() / 2}) {
      Bytes shorter(intact.begin(), intact.end() - cut);
      EXPECT_EQ(0, StartUp(shorter)) << sign << " cut " << cut;
      EXPECT_EQ(ARCHIVE_INTEGRITY_DAMAGED, BuilderCheck(shorter));
    }
  }
  // One line says what did not match; a missing record is named too.
  Bytes file = s.installer;
  file[1024 + 100] ^= 1;
  std::string log;
  EXPECT_EQ(0, StartUp(file, &log));
  size_t covered = s.installer.size() - FFS_TRAILER_SIZE - FFS_INTEGRITY_SIZE;
  EXPECT_EQ(0u, log.find("Flat/Fast File System Initialized...\nFFS: Integrity check failed: bytes 0 to " +
                         std::to_string(covered - 1) + " give CRC-32 "))
      << log;
  file = s.installer;
  file[covered] = 'X';
  EXPECT_EQ(0, StartUp(file, &log));
  EXPECT_NE(std::string::npos, log.find("FFS: Integrity record missing or damaged before the trailer at " +
                                        std::to_string(covered + FFS_INTEGRITY_SIZE)))
      << log;
  EXPECT_EQ(0, FfsCheckIntegrity());  // nothing mounted
}

}  // namespace
