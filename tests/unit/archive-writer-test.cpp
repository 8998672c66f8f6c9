// The archive writer: exact layout, name rules, method choice, installers,
// reproducible output, and round trips through the installer's reader.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "archive-reader.h"
#include "archive-writer.h"
#include "ffs-test-support.h"
#include "ffs.h"
#include "test-support.h"

namespace {

uint32_t Le32At(const Bytes &b, size_t at) {
  return (uint32_t)b[at] | ((uint32_t)b[at + 1] << 8) | ((uint32_t)b[at + 2] << 16) | ((uint32_t)b[at + 3] << 24);
}

Bytes Written(const ArchiveWriter &writer, uint32_t base = 0, bool trailer = false) {
  Bytes out;
  std::string error;
  EXPECT_TRUE(writer.Write(base, trailer, &out, &error)) << error;
  return out;
}

// Contents that exercise the packers differently.
Bytes Content(int kind, size_t size) {
  Bytes b(size);
  uint32_t seed = 12345;
  for (size_t i = 0; i < size; i++) {
    seed = seed * 1103515245u + 12345u;
    switch (kind) {
      case 0: b[i] = (uint8_t)"the quick brown fox jumps over the lazy dog. "[i % 45]; break;
      case 1: b[i] = 0; break;
      case 2: b[i] = (uint8_t)(seed >> 24); break;
      default: b[i] = (uint8_t)(i * 3); break;
    }
  }
  return b;
}

TEST(ArchiveWriter, ReproducesTheStandaloneVector) {
  ArchiveWriter writer;
  writer.SetTurbo(false);
  std::string error;
  ASSERT_TRUE(writer.Add("A.TXT", Text("0123456789ABCDEF"), ARCHIVE_RAW, &error)) << error;
  EXPECT_EQ(Vector48(), Written(writer));
  writer.SetTurbo(true);
  Bytes turbo = Written(writer);
  EXPECT_EQ((uint32_t)FFS_TURBO, Le32At(turbo, 12));
}

TEST(ArchiveWriter, DirectorySortedRecordsContiguous) {
  ArchiveWriter writer;
  std::string error;
  const char *names[] = {"install.dat", "readme.txt", "bin\\app.exe", "bin\\app.dll", "z"};
  for (const char *n : names) ASSERT_TRUE(writer.Add(n, Text(std::string(n) + " data, more data"), ARCHIVE_RAW, &error));
  Bytes b = Written(writer, 1000);
  uint32_t n = Le32At(b, 4);
  ASSERT_EQ(5u, n);
  EXPECT_EQ(~n, Le32At(b, 8));
  uint32_t expected = 1000 + 16 + 8 * n;
  for (uint32_t i = 0; i < n; i++) {
    uint32_t hash = Le32At(b, 16 + 8 * i), offset = Le32At(b, 20 + 8 * i);
    if (i > 0) {
      EXPECT_LT(Le32At(b, 8 + 8 * i), hash);
    }
    EXPECT_EQ(expected, offset);  // absolute, in directory order
    EXPECT_EQ(hash, Le32At(b, offset - 1000));
    EXPECT_EQ(hash, writer.Entries()[i].hash);
    expected += 8 + Le32At(b, offset - 1000 + 4);
  }
  EXPECT_EQ(expected - 1000, b.size());
}

TEST(ArchiveWriter, RefusesWhatTheInstallerCouldNotRead) {
  ArchiveWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Add("Readme.txt", Text("first"), ARCHIVE_RAW, &error));
  // Names differing only in case collide; the message names both.
  EXPECT_FALSE(writer.Add("README.TXT", Text("second"), ARCHIVE_RAW, &error));
  EXPECT_NE(std::string::npos, error.find("'README.TXT'"));
  EXPECT_NE(std::string::npos, error.find("'Readme.txt'"));
  EXPECT_EQ(1u, writer.Count());
  EXPECT_FALSE(writer.Add("empty.txt", Bytes(), ARCHIVE_AUTO, &error));
  EXPECT_NE(std::string::npos, error.find("empty"));
  EXPECT_FALSE(writer.Add("", Text("x"), ARCHIVE_RAW, &error));
  EXPECT_EQ(1u, writer.Count());
  ArchiveWriter none;
  Bytes out;
  EXPECT_FALSE(none.Write(0, false, &out, &error));
}

TEST(ArchiveWriter, RawDataWithPackedSignatureIsPacked) {
  for (const char *signature : {"FFC!", "FFC@"}) {
    ArchiveWriter writer;
    std::string error;
    Bytes content = Text(std::string(signature) + " looks packed but is not, looks packed but is not");
    ASSERT_TRUE(writer.Add("tricky.bin", content, ARCHIVE_RAW, &error)) << error;
    EXPECT_NE(ARCHIVE_RAW, writer.Entries()[0].method);
  }
}

TEST(ArchiveWriter, SmallLastEntryIsPaddedForItsSizeQuery) {
  for (bool installer : {false, true}) {
    ArchiveWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Add("tiny", Text("abc"), ARCHIVE_RAW, &error));
    Bytes file;
    if (installer)
      ASSERT_TRUE(ArchiveWriteInstaller(Text("MZ"), writer, &file, &error));
    else
      file = Written(writer);
    // An installer: the record and the trailer follow, at a multiple of 8.
    EXPECT_EQ(installer ? 64u : 16 + 8 + 8 + 16u, file.size());
    WriteTestFile("archive-tiny.bin", file);
    ASSERT_EQ(1, FfsInit("archive-tiny.bin"));
    Bytes content;
    EXPECT_TRUE(LoadByName("TINY", &content));
    EXPECT_EQ(Text("abc"), content);
    FfsRemove();
  }
}

TEST(ArchiveWriter, InstallerAndMovedArchiveAreIdentical) {
  ArchiveWriter writer;
  std::string error;
  for (int i = 0; i < 20; i++)
    ASSERT_TRUE(writer.Add("f" + std::to_string(i), Content(i % 4, 100 + i), ARCHIVE_AUTO, &error)) << error;
  Bytes stub = Text("MZ this is not much of a program");
  Bytes direct, moved;
  ASSERT_TRUE(ArchiveWriteInstaller(stub, writer, &direct, &error)) << error;
  ASSERT_TRUE(ArchiveAppendToStub(stub, Written(writer), &moved, &error)) << error;
  EXPECT_EQ(direct, moved);
  EXPECT_EQ(stub.size(), Le32At(direct, direct.size() - 4));
  EXPECT_TRUE(std::equal(stub.begin(), stub.end(), direct.begin()));
  // A stub that already carries an archive, or looks like one, is refused.
  EXPECT_FALSE(ArchiveWriteInstaller(direct, writer, &moved, &error));
  EXPECT_NE(std::string::npos, error.find("already carries"));
  EXPECT_FALSE(ArchiveWriteInstaller(Vector48(), writer, &moved, &error));
  // An installer is not a standalone archive to move.
  EXPECT_FALSE(ArchiveAppendToStub(stub, direct, &moved, &error));
}

// Entries spooled to a file, and an installer written to its file piece by
// piece, give the bytes the in-memory writers give; a file that cannot be
// written leaves nothing behind.
TEST(ArchiveWriter, SpooledEntriesAndTheFileWriterGiveTheSameBytes) {
  ArchiveWriter plain, spooled;
  FILE *spool = fopen("spool-test.spool", "w+b");
  ASSERT_NE(nullptr, spool);
  spooled.SetSpool(spool);
  std::string error;
  for (int i = 0; i < 12; i++) {
    Bytes content = Content(i % 4, i == 5 ? (3u << 20) + 7 : 200 + i);  // one spans several copy pieces
    ArchiveMethod method = i % 3 == 0 ? ARCHIVE_RAW : ARCHIVE_METHOD1;
    ASSERT_TRUE(plain.Add("f" + std::to_string(i), content, method, &error)) << error;
    ASSERT_TRUE(spooled.Add("f" + std::to_string(i), content, method, &error)) << error;
  }
  for (const ArchiveEntry &e : spooled.Entries()) EXPECT_TRUE(e.spooled && e.data.empty() && e.spooledLength > 0);
  EXPECT_EQ(Written(plain, 0, true), Written(spooled, 0, true));
  Bytes stub = Text("MZ a stub"), direct, viaSpool;
  ASSERT_TRUE(ArchiveWriteInstaller(stub, plain, &direct, &error)) << error;
  ASSERT_TRUE(ArchiveWriteInstaller(stub, spooled, &viaSpool, &error)) << error;
  EXPECT_TRUE(direct == viaSpool);
  uint64_t size = 0;
  ASSERT_TRUE(ArchiveWriteInstallerFile(stub, spooled, "spool-test.exe", false, &size, &error)) << error;
  EXPECT_EQ(direct.size(), size);
  EXPECT_TRUE(TestReadFile("spool-test.exe") == std::string(direct.begin(), direct.end()));
  EXPECT_FALSE(TestFileExists("spool-test.exe.part"));
  ASSERT_TRUE(spooled.WriteFile("spool-test.exe", &error)) << error;
  Bytes standalone = Written(plain);
  EXPECT_TRUE(TestReadFile("spool-test.exe") == std::string(standalone.begin(), standalone.end()));
  EXPECT_FALSE(ArchiveWriteInstallerFile(stub, spooled, "no-such-dir/x.exe", false, &size, &error));
  EXPECT_FALSE(TestFileExists("no-such-dir/x.exe.part"));
  remove("spool-test.exe");
  fclose(spool);
  remove("spool-test.spool");
}

// The proof of a packed entry decodes it through the installer's bounded
// window: a content larger than the window passes only when every byte
// matches.
TEST(ArchiveWriter, PackedDataIsProvedAgainstTheWholeContent) {
  Bytes content = Content(0, (3u << 20) + 11);
  for (size_t i = 0; i < content.size(); i += 4099) content[i] = (uint8_t)(i >> 12);
  for (ArchiveMethod m : {ARCHIVE_METHOD1, ARCHIVE_METHOD2, ARCHIVE_METHOD3}) {
    if (m == ARCHIVE_METHOD3 && !Pack3Available()) continue;
    ArchiveWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Add("x", content, m, &error)) << error;
    const Bytes &packed = writer.Entries()[0].data;
    EXPECT_TRUE(ArchiveDecodesTo(packed.data(), packed.size(), m, content.data(), (uint32_t)content.size()));
    Bytes changed = content;
    changed[changed.size() - 2] ^= 1;  // after the window has slid
    EXPECT_FALSE(ArchiveDecodesTo(packed.data(), packed.size(), m, changed.data(), (uint32_t)changed.size()));
    EXPECT_FALSE(ArchiveDecodesTo(packed.data(), packed.size(), m, content.data(), (uint32_t)content.size() - 1));
    EXPECT_FALSE(ArchiveDecodesTo(packed.data(), packed.size() / 2, m, content.data(), (uint32_t)content.size()));
  }
}

TEST(ArchiveWriter, OutputDependsOnlyOnTheEntries) {
  std::vector<std::string> names;
  for (int i = 0; i < 50; i++) names.push_back("dir\\file" + std::to_string(i) + ".txt");
  ArchiveWriter forward, backward;
  std::string error;
  for (size_t i = 0; i < names.size(); i++) {
    ASSERT_TRUE(forward.Add(names[i], Content((int)i % 4, 300 + i), ARCHIVE_AUTO, &error));
    size_t j = names.size() - 1 - i;
    ASSERT_TRUE(backward.Add(names[j], Content((int)j % 4, 300 + j), ARCHIVE_AUTO, &error));
  }
  EXPECT_EQ(Written(forward), Written(backward));
}

TEST(ArchiveWriter, PackingSideBySideGivesTheSameBytesAndStopsAtTheFirstFailure) {
  std::vector<ArchiveInput> inputs;
  for (int i = 0; i < 24; i++) {
    ArchiveInput in;
    in.name = "dir\\file" + std::to_string(i);
    in.content = Content(i % 4, 1000 + 977 * i);
    in.method = i % 5 == 0 ? ARCHIVE_RAW : ARCHIVE_AUTO;
    in.level = i % 3 == 0 ? 1 : PACK3_DEFAULT_LEVEL;
    inputs.push_back(in);
  }
  ArchiveWriter one;
  for (const ArchiveInput &in : inputs) {
    std::string error;
    one.SetLevel(in.level);
    ASSERT_TRUE(one.Add(in.name, in.content, in.method, &error)) << error;
  }
  Bytes expected = Written(one);
  for (unsigned threads : {1u, 3u, 0u}) {
    ArchiveWriter many;
    std::string error;
    size_t failed = 99, reported = 0;
    ASSERT_TRUE(many.AddAll(inputs, threads, &error, &failed, [&](size_t done) { reported = done; })) << error;
    EXPECT_EQ(reported, inputs.size());
    EXPECT_EQ(Written(many), expected) << threads << " threads";
  }
  // An unreadable file and a name already taken: the first in order is named.
  inputs[9].path = "/nonexistent/file";
  inputs[5].name = "DIR\\FILE2";
  ArchiveWriter broken;
  std::string error;
  size_t failed = 99;
  EXPECT_FALSE(broken.AddAll(inputs, 4, &error, &failed));
  EXPECT_EQ(failed, 5u);
  EXPECT_NE(error.find("same hash"), std::string::npos) << error;
  EXPECT_EQ(broken.Count(), 5u);
}

// A large file whose samples do not pack is stored raw without being
// loaded, and read from its file when written; one that packs is packed.
// The archive is the one the in-memory writer makes, and a file that
// changed size meanwhile fails the writing.
TEST(ArchiveWriter, LargeDataThatDoesNotPackIsStoredFromItsFile) {
  std::vector<ArchiveInput> inputs(2);
  ArchiveWriter memory, files;
  std::string error;
  for (int i = 0; i < 2; i++) {
    Bytes content = Content(i == 0 ? 2 : 0, (2u << 20) + 5);
    inputs[i].name = "big" + std::to_string(i);
    inputs[i].path = "sampled-" + std::to_string(i) + ".bin";
    FILE *f = fopen(inputs[i].path.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    ASSERT_EQ(content.size(), fwrite(content.data(), 1, content.size(), f));
    fclose(f);
    ASSERT_TRUE(memory.Add(inputs[i].name, content, ARCHIVE_AUTO, &error)) << error;
  }
  size_t failed;
  ASSERT_TRUE(files.AddAll(inputs, 2, &error, &failed)) << error;
  for (const ArchiveEntry &e : files.Entries()) {
    bool random = e.name == "big0";
    EXPECT_EQ(random ? ARCHIVE_RAW : ARCHIVE_METHOD1, e.method) << e.name;
    EXPECT_EQ(random ? inputs[0].path : "", e.source);
    EXPECT_EQ(random, e.data.empty());
  }
  EXPECT_EQ(Written(memory), Written(files));
  FILE *f = fopen(inputs[0].path.c_str(), "ab");
  ASSERT_NE(nullptr, f);
  fputc(1, f);
  fclose(f);
  Bytes out;
  EXPECT_FALSE(files.Write(0, false, &out, &error));
  EXPECT_NE(error.find("changed while"), std::string::npos) << error;
  for (const ArchiveInput &in : inputs) remove(in.path.c_str());
}

// Files large enough to be packed in pieces (methods 4 and 3, by fast and
// auto; a program behind the branch-call filter, its calls crossing the
// pieces) round-trip through the builder's reader and the installer's, with
// their packed bytes kept in memory or spooled.
TEST(ArchiveWriter, LargeFilesPackedInPiecesRoundTrip) {
  if (!Pack3Available() || !Pack4Available()) GTEST_SKIP() << "needs the packers of methods 3 and 4";
  Bytes text = Content(0, ARCHIVE_PIECES_MIN + 5), program(ARCHIVE_PIECES_MIN + 7, 0x90);
  for (size_t i = 0; i < text.size(); i += 4099) text[i] = (uint8_t)(i >> 12);
  // Calls to a few targets every 13 bytes: alike only once made absolute.
  for (size_t i = 0x100; i + 5 <= program.size(); i += 13) {
    program[i] = 0xE8;
    SetLe32(&program, i + 1, (uint32_t)(0x400000u + (i % 7) * 0x1000u - (i + 5)));
  }
  memcpy(program.data(), "MZ", 2);
  SetLe32(&program, 0x3C, 0x40);
  memcpy(program.data() + 0x40, "PE\0\0\x4C\x01", 6);
  std::vector<ArchiveInput> inputs(4);
  const ArchiveMethod methods[4] = {ARCHIVE_FAST, ARCHIVE_METHOD3, ARCHIVE_AUTO, ARCHIVE_FAST};
  for (int i = 0; i < 4; i++) {
    inputs[i].name = "pieces" + std::to_string(i);
    inputs[i].path = "pieces-" + std::to_string(i) + ".bin";
    inputs[i].method = methods[i];
    inputs[i].level = 0;
    WriteTestFile(inputs[i].path, i == 3 ? program : text);
  }
  FILE *spool = tmpfile();
  ASSERT_NE(nullptr, spool);
  Bytes installers[2];
  for (int spooled = 0; spooled < 2; spooled++) {
    ArchiveWriter writer;
    if (spooled) writer.SetSpool(spool);
    std::string error;
    size_t failed;
    ASSERT_TRUE(writer.AddAll(inputs, 2, &error, &failed)) << error;
    for (const ArchiveEntry &e : writer.Entries()) {
      bool four = e.name == "pieces0" || e.name == "pieces3";
      EXPECT_EQ(four ? ARCHIVE_METHOD4 : ARCHIVE_METHOD3, e.method) << e.name;
      EXPECT_EQ(e.name == "pieces3", e.filtered) << e.name;
      EXPECT_EQ(nullptr, e.packed);
    }
    ASSERT_TRUE(ArchiveWriteInstaller(Text("MZ stub"), writer, &installers[spooled], &error)) << error;
  }
  fclose(spool);
  EXPECT_TRUE(installers[0] == installers[1]);
  ArchiveImage image;
  std::string error;
  ASSERT_TRUE(ArchiveParse(installers[1], &image, &error)) << error;
  WriteTestFile("pieces-installer.bin", installers[1]);
  ASSERT_EQ(1, FfsInit("pieces-installer.bin"));
  for (const ArchiveInput &in : inputs) {
    const Bytes &content = in.name == "pieces3" ? program : text;
    Bytes unpacked;
    EXPECT_TRUE(LoadByName(in.name, &unpacked)) << in.name;
    EXPECT_TRUE(unpacked == content) << in.name;
    int i = ArchiveFind(image, ArchiveHashName(in.name));
    ASSERT_GE(i, 0);
    EXPECT_TRUE(image.records[i].length < content.size() / 8) << in.name;
    EXPECT_TRUE(ArchiveDecode(installers[1], image, image.records[i], &unpacked, &error)) << error;
    EXPECT_TRUE(unpacked == content) << in.name;
    remove(in.path.c_str());
  }
  FfsRemove();
  remove("pieces-installer.bin");
}

// smallest takes the fewest stored bytes; auto adds a charge for unpacking
// per content byte (1/64 for method 1, 1/8 for method 2, 1/5 for method 3).
// Both are checked against each method packed alone; ties go to raw, then to
// the lower method.
TEST(ArchiveWriter, AutoWeighsUnpackingAndSmallestOnlySize) {
  std::string error;
  Bytes mixed = Content(0, 30000), noise = Content(2, 30000), words;
  for (size_t i = 0; i < mixed.size(); i += 7) mixed[i] = noise[i];
  // Words drawn at random from a few: method 3 is smallest, not quickest.
  static const char *const kWords[] = {"alpha ", "bravo ", "charlie ", "delta ", "echo ", "foxtrot ", "golf ", "hotel "};
  for (uint32_t seed = 1; words.size() < 30000;) {
    seed = seed * 1103515245u + 12345u;
    words.insert(words.end(), kWords[seed >> 29], kWords[seed >> 29] + strlen(kWords[seed >> 29]));
  }
  bool differed = false;
  for (const Bytes &content : {Content(2, 5000), Content(0, 5000), Content(1, 70000), Content(3, 40000), mixed, words}) {
    size_t size[4] = {content.size(), SIZE_MAX, SIZE_MAX, SIZE_MAX};
    const ArchiveMethod methods[4] = {ARCHIVE_RAW, ARCHIVE_METHOD1, ARCHIVE_METHOD2, ARCHIVE_METHOD3};
    for (int m = 1; m < 4; m++) {
      ArchiveWriter single;
      if (single.Add("x", content, methods[m], &error)) size[m] = single.Entries()[0].data.size();
    }
    const double share[4] = {0, 1.0 / 64, 1.0 / 8, 1.0 / 5};
    int smallest = 0, quickest = 0;
    for (int m = 1; m < 4; m++) {
      if (size[m] < size[smallest]) smallest = m;
      if (size[m] != SIZE_MAX && size[m] + share[m] * content.size() < size[quickest] + share[quickest] * content.size())
        quickest = m;
    }
    ArchiveWriter writer;
    ASSERT_TRUE(writer.Add("smallest", content, ARCHIVE_SMALLEST, &error)) << error;
    ASSERT_TRUE(writer.Add("auto", content, ARCHIVE_AUTO, &error)) << error;
    for (const ArchiveEntry &e : writer.Entries()) {
      int want = e.name == "auto" ? quickest : smallest;
      EXPECT_EQ(methods[want], e.method) << e.name << " of " << content.size() << " bytes";
      EXPECT_EQ(size[want], e.data.size()) << e.name;
    }
    differed = differed || smallest != quickest;
  }
  EXPECT_TRUE(differed);
}

void RoundTrip(ArchiveMethod method) {
  ArchiveWriter writer;
  std::string error;
  std::vector<std::pair<std::string, Bytes>> files;
  for (size_t size : {1u, 2u, 15u, 16u, 17u, 4095u, 4096u, 4097u, 70000u})
    for (int kind = 0; kind < 4; kind++) {
      std::string name = "k" + std::to_string(kind) + "\\s" + std::to_string(size);
      files.push_back({name, Content(kind, size)});
      ASSERT_TRUE(writer.Add(name, files.back().second, method, &error)) << error;
    }
  Bytes installer;
  ASSERT_TRUE(ArchiveWriteInstaller(Text("MZ stub"), writer, &installer, &error));
  // The builder's own reading agrees with the installer's.
  ArchiveImage image;
  ASSERT_TRUE(ArchiveParse(installer, &image, &error)) << error;
  EXPECT_EQ("", image.problem);
  WriteTestFile("archive-roundtrip.bin", installer);
  ASSERT_EQ(1, FfsInit("archive-roundtrip.bin"));
  for (const auto &f : files) {
    Bytes content;
    EXPECT_TRUE(LoadByName(f.first, &content)) << f.first;
    EXPECT_TRUE(content == f.second) << f.first;
    int i = ArchiveFind(image, ArchiveHashName(f.first));
    ASSERT_GE(i, 0);
    EXPECT_EQ("", image.records[i].problem);
    EXPECT_TRUE(ArchiveDecode(installer, image, image.records[i], &content, &error)) << error;
    EXPECT_TRUE(content == f.second) << f.first;
  }
  FfsRemove();
}

TEST(ArchiveWriter, RoundTripRaw) { RoundTrip(ARCHIVE_RAW); }
TEST(ArchiveWriter, RoundTripAuto) { RoundTrip(ARCHIVE_AUTO); }

TEST(ArchiveWriter, RoundTripMethod1) { RoundTrip(ARCHIVE_METHOD1); }
TEST(ArchiveWriter, RoundTripMethod2) { RoundTrip(ARCHIVE_METHOD2); }

#ifdef VANTOR_HAVE_LZMA  // the method-3 packer is liblzma's
TEST(ArchiveWriter, RoundTripMethod3) { RoundTrip(ARCHIVE_METHOD3); }
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu  // a 64-bit process may well hold 2 GiB
TEST(ArchiveReader, ContentTooLargeToHoldIsAnError) {
  // A damaged method-2 head announcing nearly 2 GiB: a 32-bit builder cannot
  // hold it and must say so rather than end on an exception.
  Bytes head = Text("FFC@");
  PutLe32(&head, ~0x7FFFFFF0u);
  std::vector<uint8_t> content;
  std::string error;
  EXPECT_FALSE(ArchiveDecodeData(head.data(), head.size(), ARCHIVE_METHOD2, 0x7FFFFFF0u, &content, &error));
  EXPECT_EQ("no memory for the 2147483632 bytes the entry announces", error);
  EXPECT_TRUE(content.empty());
}
#endif

TEST(ArchiveWriter, MethodNames) {
  ArchiveMethod m;
  for (const char *name : {"auto", "smallest", "raw", "1", "2", "3", "4"}) {
    ASSERT_TRUE(ArchiveParseMethod(name, &m));
    EXPECT_STREQ(name, ArchiveMethodName(m));
  }
  EXPECT_FALSE(ArchiveParseMethod("5", &m));
  EXPECT_FALSE(ArchiveParseMethod("RAW", &m));
}

}  // namespace
