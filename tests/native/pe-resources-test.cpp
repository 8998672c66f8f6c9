// The resource editor on PE32 and PE32+ programs laid out as the linker
// lays out install.exe (.text, .rsrc, then .reloc): the rebuilt image stays
// sound (sections aligned and back to back, image size, data directories,
// checksum, the relocations moved intact), icons and the version block read
// back, and what cannot be edited is refused with its reason. Real stubs
// read back by wrestool and run under Wine are tested end to end.
#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive-reader.h"
#include "cli.h"
#include "codepage.h"
#include "fsutil.h"
#include "pe-format.h"
#include "pe-resources.h"
#include "stub-resources.h"
#include "test-support.h"
#include "vantor-core.h"
#include "ffs-test-support.h"

namespace {

uint32_t Le32(const Bytes &b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (uint32_t)b[at + 3] << 24; }

// A program with .text, an empty .rsrc and .reloc; wide: PE32+.
Bytes MakeProgram(bool wide) {
  Bytes b(0x1000, 0);
  b[0] = 'M', b[1] = 'Z';
  SetLe32(&b, 0x3C, 0x80);
  memcpy(&b[0x80], "PE\0\0", 4);
  uint32_t opt = 0x98, optSize = wide ? 0xF0 : 0xE0, sections = opt + optSize;
  SetLe32(&b, 0x84, wide ? 0x8664 : 0x14C);
  SetLe32(&b, 0x86, 3);                   // sections
  SetLe32(&b, 0x94, optSize | 0x102 << 16);
  SetLe32(&b, opt, wide ? 0x20B : 0x10B);
  SetLe32(&b, opt + 32, 0x1000);          // section alignment
  SetLe32(&b, opt + 36, 0x200);           // file alignment
  SetLe32(&b, opt + 56, 0x4000);          // image size
  SetLe32(&b, opt + 60, 0x400);           // header size
  uint32_t dirs = opt + (wide ? 112 : 96);
  SetLe32(&b, dirs - 4, 16);
  SetLe32(&b, dirs + 16, 0x2000), SetLe32(&b, dirs + 20, 16);  // resources: an empty tree
  SetLe32(&b, dirs + 40, 0x3000), SetLe32(&b, dirs + 44, 12);  // relocations: one block
  const struct { const char *name; uint32_t va, raw; } s[] = {{".text", 0x1000, 0x400}, {".rsrc", 0x2000, 0x600},
                                                              {".reloc", 0x3000, 0x800}};
  for (int i = 0; i < 3; i++) {
    uint32_t h = sections + 40 * i;
    memcpy(&b[h], s[i].name, strlen(s[i].name));
    SetLe32(&b, h + 8, 0x100), SetLe32(&b, h + 12, s[i].va), SetLe32(&b, h + 16, 0x200), SetLe32(&b, h + 20, s[i].raw);
  }
  for (int i = 0; i < 0x200; i++) b[0x400 + i] = (uint8_t)(i * 7);
  SetLe32(&b, 0x800, 0x1000), SetLe32(&b, 0x804, 12), SetLe32(&b, 0x808, 0x3010);
  b.resize(0xA00);
  return b;
}

// The image is sound: sections aligned, back to back in memory and file,
// the image size, the resource and relocation directories naming sections,
// the relocation block intact, the checksum what a recomputation gives.
void ExpectSound(const Bytes &f, bool wide) {
  uint32_t opt = 0x98, sections = opt + (wide ? 0xF0 : 0xE0), dirs = opt + (wide ? 112 : 96);
  uint32_t count = f[0x86], va = 0x1000, raw = 0x400;
  std::map<std::string, uint32_t> at;
  for (uint32_t i = 0; i < count; i++) {
    uint32_t h = sections + 40 * i;
    EXPECT_EQ(va, Le32(f, h + 12)) << i;
    EXPECT_EQ(raw, Le32(f, h + 20)) << i;
    EXPECT_EQ(0u, Le32(f, h + 16) % 0x200) << i;
    EXPECT_LE(Le32(f, h + 8), Le32(f, h + 16)) << i;
    at[(const char *)&f[h]] = i;
    va += (Le32(f, h + 8) + 0xFFF) / 0x1000 * 0x1000;
    raw += Le32(f, h + 16);
  }
  EXPECT_EQ(raw, f.size());
  EXPECT_EQ(va, Le32(f, opt + 56));
  uint32_t rsrc = sections + 40 * at[".rsrc"], reloc = sections + 40 * at[".reloc"];
  EXPECT_EQ(Le32(f, rsrc + 12), Le32(f, dirs + 16));
  EXPECT_EQ(Le32(f, rsrc + 8), Le32(f, dirs + 20));
  EXPECT_EQ(Le32(f, reloc + 12), Le32(f, dirs + 40));
  EXPECT_EQ(0x3010u, Le32(f, Le32(f, reloc + 20) + 8));
  Bytes copy = f;
  ASSERT_TRUE(PeUpdateChecksum(&copy));
  EXPECT_EQ(f, copy);
  EXPECT_NE(0u, Le32(f, opt + 64));
}

// An icon file of the given images, each with the square size its
// directory entry gives (256 as 0).
Bytes MakeIconOf(const std::vector<std::pair<int, Bytes>> &list) {
  Bytes ico = {0, 0, 1, 0, (uint8_t)list.size(), 0};
  Bytes images;
  for (const auto &image : list) {
    Bytes e = {(uint8_t)image.first, (uint8_t)image.first, 0, 0, 1, 0, 32, 0};
    ico.insert(ico.end(), e.begin(), e.end());
    ico.resize(ico.size() + 8);
    SetLe32(&ico, ico.size() - 8, (uint32_t)image.second.size());
    SetLe32(&ico, ico.size() - 4, 6 + 16 * (uint32_t)list.size() + (uint32_t)images.size());
    images.insert(images.end(), image.second.begin(), image.second.end());
  }
  ico.insert(ico.end(), images.begin(), images.end());
  return ico;
}

// A bitmap of an icon: its header, then pixels and mask of the given bytes.
Bytes Bitmap(int s, int bits, size_t bytes) {
  Bytes bmp(40 + bytes, (uint8_t)s);
  std::fill(bmp.begin(), bmp.begin() + 40, 0);
  SetLe32(&bmp, 0, 40), SetLe32(&bmp, 4, s), SetLe32(&bmp, 8, 2 * s), SetLe32(&bmp, 12, 1 | bits << 16);
  return bmp;
}

// An icon file of the given square sizes, 32-bit bitmaps.
Bytes MakeIcon(std::vector<int> sizes) {
  std::vector<std::pair<int, Bytes>> list;
  for (int s : sizes) list.push_back({s, Bitmap(s, 32, s * s * 4 + (s + 31) / 32 * 4 * s)});
  return MakeIconOf(list);
}

// A PNG image of w x h pixels (the pixel data is not looked into) of the
// given chunks after its header.
Bytes Png(uint32_t w, uint32_t h, const std::vector<std::string> &chunks) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&](const std::string &type, const Bytes &data) {
    Bytes c = {0, 0, 0, (uint8_t)data.size()};
    c.insert(c.end(), type.begin(), type.end());
    c.insert(c.end(), data.begin(), data.end());
    uint32_t crc = Crc32(c.data() + 4, (int)c.size() - 4);
    c.insert(c.end(), {(uint8_t)(crc >> 24), (uint8_t)(crc >> 16), (uint8_t)(crc >> 8), (uint8_t)crc});
    png.insert(png.end(), c.begin(), c.end());
  };
  chunk("IHDR", {(uint8_t)(w >> 24), (uint8_t)(w >> 16), (uint8_t)(w >> 8), (uint8_t)w, (uint8_t)(h >> 24),
                 (uint8_t)(h >> 16), (uint8_t)(h >> 8), (uint8_t)h, 8, 6, 0, 0, 0});
  for (const std::string &type : chunks) chunk(type, type == "IDAT" ? Bytes(20, 7) : Bytes());
  return png;
}

TEST(PeResources, IconAndVersionReadBackAndTheImageStaysSound) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "PE32+" : "PE32");
    Bytes file = MakeProgram(wide), edited;
    std::vector<PeIconImage> icon;
    std::string error;
    PeImage image;
    ASSERT_TRUE(image.Load(file, &error)) << error;
    EXPECT_EQ(wide, image.Wide());
    ASSERT_TRUE(PeParseIcon(MakeIcon({16, 32, 48}), &icon, &error)) << error;
    PeSetIconGroup(&image, 104, icon);
    PeVersionInfo info;
    ASSERT_TRUE(PeParseVersion("1.2.3.4", info.fileVersion));
    info.companyName = "Acme \x80 Software";  // Windows-1252: the euro sign
    PeSetVersion(&image, info);
    ASSERT_TRUE(image.Save(&edited, &error)) << error;
    ExpectSound(edited, wide);
    EXPECT_EQ(wide ? PE_MACHINE_AMD64 : PE_MACHINE_I386, PeMachine(edited));

    // Again, with one size: the group's former icons go.
    ASSERT_TRUE(image.Load(edited, &error)) << error;
    ASSERT_EQ(5u, image.Resources().size());
    ASSERT_TRUE(PeParseIcon(MakeIcon({24}), &icon, &error)) << error;
    PeSetIconGroup(&image, 104, icon);
    ASSERT_TRUE(image.Save(&edited, &error)) << error;
    ExpectSound(edited, wide);
    ASSERT_TRUE(image.Load(edited, &error)) << error;
    ASSERT_EQ(3u, image.Resources().size());
    const PeResource *group = image.Find(PeResourceName::Id(PE_RT_GROUP_ICON), PeResourceName::Id(104));
    ASSERT_TRUE(group);
    EXPECT_EQ(PE_LANG_DEFAULT, group->language);
    ASSERT_EQ(20u, group->data.size());
    EXPECT_EQ(24, group->data[6]);
    uint16_t member = (uint16_t)(group->data[18] | group->data[19] << 8);
    const PeResource *single = image.Find(PeResourceName::Id(PE_RT_ICON), PeResourceName::Id(member));
    ASSERT_TRUE(single);
    EXPECT_EQ(icon[0].data, single->data);
    const PeResource *version = image.Find(PeResourceName::Id(PE_RT_VERSION), PeResourceName::Id(1));
    ASSERT_TRUE(version);
    EXPECT_EQ(PeVersionBlock(info), version->data);
    EXPECT_EQ(0x00010002u, Le32(version->data, 40 + 8));  // FileVersionMS
    EXPECT_EQ(u"Acme \u20AC Software", CodepageWideText(info.companyName));
  }
}

TEST(PeResources, MalformedIconsAndProgramsAreRefused) {
  Bytes good = MakeIcon({16, 32});
  struct Case {
    Bytes ico;
    const char *says;
  };
  Bytes cut = good, outside = good, notImage = good, wrongSize = good, badDepth = good;
  cut.resize(20);
  SetLe32(&outside, 6 + 12, 100000);
  notImage[6 + 32] = 'X';
  wrongSize[6] = 20;
  SetLe32(&badDepth, 6 + 32 + 12, 1 | 7 << 16);
  // Images whose bytes do not hold what their headers say.
  Bytes planes = Bitmap(16, 32, 16 * 16 * 4 + 64), palette = Bitmap(16, 8, 256 * 4), damagedPng = Png(16, 16, {"IDAT", "IEND"});
  SetLe32(&planes, 12, 2 | 32 << 16);
  damagedPng[20] ^= 1;
  std::vector<Case> cases = {
      {MakeIconOf({{0, Bitmap(256, 32, 0)}}),
       "image 1 of 1 holds 40 bytes; its bitmap of 256 x 256 pixels at 32 bits, with its palette and mask, needs 270376"},
      {MakeIconOf({{16, planes}}), "image 1 of 1 has a bitmap of 2 planes"},
      {MakeIconOf({{16, palette}}), "image 1 of 1 holds 1064 bytes; its bitmap of 16 x 16 pixels at 8 bits, with its "
                                    "palette and mask, needs 1384"},
      {MakeIconOf({{16, Png(16, 16, {"IEND"})}}), "image 1 of 1 is a PNG image without pixels"},
      {MakeIconOf({{16, Png(16, 16, {"IDAT"})}}), "image 1 of 1 is a PNG image cut short"},
      {MakeIconOf({{16, Png(32, 32, {"IDAT", "IEND"})}}), "image 1 of 1 says 16 x 16 pixels, its PNG image 32 x 32 pixels"},
      {MakeIconOf({{16, damagedPng}}), "image 1 of 1 is a PNG image whose header chunk is damaged"},
      {Bytes(), "does not begin with an icon header"},
      {{'B', 'M', 0, 0, 0, 0}, "does not begin with an icon header"},
      {{0, 0, 1, 0, 0, 0}, "without images"},
      {cut, "list of 2 images is cut short"},
      {outside, "image 1 of 2 lies outside the file"},
      {notImage, "image 1 of 2 is neither a bitmap nor a PNG image"},
      {wrongSize, "image 1 of 2 says 20 x 16 pixels, its bitmap another size"},
      {badDepth, "image 1 of 2 has 7 bits per pixel"},
  };
  for (const Case &c : cases) {
    std::vector<PeIconImage> images;
    std::string error;
    EXPECT_FALSE(PeParseIcon(c.ico, &images, &error)) << c.says;
    EXPECT_NE(std::string::npos, error.find(c.says)) << error;
  }
  std::vector<PeIconImage> images;
  std::string error;
  EXPECT_TRUE(PeParseIcon(MakeIconOf({{0, Png(256, 256, {"IDAT", "IEND"})}, {16, Bitmap(16, 4, 64 + 128 + 64)}}),
                          &images, &error))
      << error;

  Bytes program = MakeProgram(false), overlay = program, damaged = program, shortened = program;
  overlay.push_back(1);
  shortened.resize(0x900);
  SetLe32(&damaged, 0x600 + 12, 0xFFFF0000);
  const std::pair<Bytes, const char *> programs[] = {
      {FakePeStub(600), "is not a Windows program"},
      {shortened, "is cut short"},
      {Bytes(300, 'M'), "is not a Windows program"},
      {FakeSign(program), "is signed"},
      {overlay, "carries data behind its sections"},
      {damaged, "its resources are damaged: a directory runs past the section"},
  };
  for (const auto &p : programs) {
    PeImage image;
    std::string error;
    EXPECT_FALSE(image.Load(p.first, &error)) << p.second;
    EXPECT_NE(std::string::npos, error.find(p.second)) << error;
  }
}

// The manifest: install.exe's own is the machine-scope text byte for byte;
// the builder writes it into a stub that lacks it (PE32 and PE32+), leaves a
// stub that has it untouched, and it reads back from the finished
// installer, with its settings summed up for each scope.
TEST(PeResources, ManifestIsWrittenForEachScopeAndReadsBack) {
  EXPECT_EQ(TestReadFile(std::string(VANTOR_SOURCE_DIR) + "/installer/resources/install.manifest"),
            PeManifestText(true));
  const std::string rest = ", supportedOS Vista..10, Common Controls 6, DPI PerMonitorV2, code page UTF-8, long paths";
  EXPECT_EQ("requireAdministrator" + rest, PeManifestSummary(PeManifestText(true)));
  EXPECT_EQ("asInvoker" + rest, PeManifestSummary(PeManifestText(false)));
  EXPECT_EQ("no execution level, no supportedOS, not DPI aware", PeManifestSummary("<assembly/>"));
  const Bytes noScope = {'#', 'I', 'N', 'S', 'T', 'A', 'L', 'L', ':', '\r', '\n'};
  EXPECT_TRUE(StubMachineScope(noScope));
  const std::string user = MARK "INSTALL SCOPE:User\r\n" MARK "INSTALL:\r\n";
  const Bytes userScope(user.begin(), user.end());
  EXPECT_FALSE(StubMachineScope(userScope));
  for (bool wide : {false, true}) {
    Bytes stub = MakeProgram(wide);
    std::string text, file, error;
    EXPECT_FALSE(PeReadManifest(stub, &text));
    bool changed = false;
    ASSERT_TRUE(StubApplyResources(StubResourceOptions(), noScope, &stub, &changed, &file, &error)) << error;
    EXPECT_TRUE(changed);
    Bytes again = stub;
    ASSERT_TRUE(StubApplyResources(StubResourceOptions(), noScope, &again, &changed, &file, &error)) << error;
    EXPECT_FALSE(changed);
    EXPECT_EQ(stub, again);
    ASSERT_TRUE(StubApplyResources(StubResourceOptions(), userScope, &stub, &changed, &file, &error)) << error;
    EXPECT_TRUE(changed);
    PeImage image;
    ASSERT_TRUE(image.Load(stub, &error)) << error;  // one manifest, replaced
    EXPECT_EQ(1u, image.Resources().size());
    EXPECT_EQ(PE_LANG_DEFAULT, image.Resources()[0].language);
    stub.insert(stub.end(), 3000, 'a');  // an archive behind the sections
    ASSERT_TRUE(PeReadManifest(stub, &text)) << wide;
    EXPECT_EQ(PeManifestText(false), text);
  }
}

// ffsbuild build: a bad icon or version stops it before any file is written;
// a good one gives an installer whose archive still reads and checks.
TEST(PeResources, BuildWritesResourcesOrRefusesWithoutOutput) {
  const std::string dir = "pe-resources-test/";
  std::string error;
  ASSERT_TRUE(FsMakeParents(dir + "payload/readme.txt", &error));
  WriteTestFile(dir + "payload/readme.txt", Bytes(500, 'r'));
  WriteTestFile(dir + "setup.txt", Bytes({'P', 'R', 'O', 'D', 'U', 'C', 'T', ' ', 'N', 'A', 'M', 'E', ':', ' ', 'W', '\n',
                                          'F', 'I', 'L', 'E', ' ', 'L', 'I', 'S', 'T', ':', ' ', 'r', 'e', 'a', 'd',
                                          'm', 'e', '.', 't', 'x', 't', '\n', 'I', 'N', 'S', 'T', 'A', 'L', 'L', '\n'}));
  WriteTestFile(dir + "stub.exe", MakeProgram(false));
  WriteTestFile(dir + "good.ico", MakeIcon({32}));
  WriteTestFile(dir + "bad.ico", Bytes(10, 'x'));
  auto build = [&](std::vector<std::string> extra, std::string *err) {
    std::vector<std::string> args = {"-o", dir + "setup.exe", "--stub", dir + "stub.exe"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {dir + "setup.txt", dir + "payload"});
    CliResult r = TestRunCli(CliBuild, args);
    *err = r.err;
    return r.rc;
  };
  std::string err;
  EXPECT_EQ(1, build({"--icon", dir + "bad.ico"}, &err));
  EXPECT_EQ("ffsbuild: " + dir + "bad.ico: is not an icon file (.ico): it does not begin with an icon header\n", err);
  EXPECT_EQ(2, build({"--version", "1.2.x"}, &err));
  EXPECT_EQ(2, build({"--copyright", "Acme"}, &err));
  EXPECT_FALSE(TestFileExists(dir + "setup.exe"));

  ASSERT_EQ(0, build({"--icon", dir + "good.ico", "--version", "2.5"}, &err)) << err;
  Bytes out;
  ASSERT_TRUE(FsReadFile(dir + "setup.exe", &out, &error));
  ArchiveImage archive;
  std::string what;
  ASSERT_TRUE(ArchiveParse(out, &archive, &error)) << error;
  EXPECT_EQ(ARCHIVE_INTEGRITY_MATCHES, ArchiveCheckIntegrity(out, archive, &what)) << what;
  Bytes copy = out;
  PeUpdateChecksum(&copy);
  EXPECT_EQ(out, copy);  // the checksum covers the whole installer
  out.resize(archive.start);
  PeImage image;
  ASSERT_TRUE(image.Load(out, &error)) << error;
  PeVersionInfo info;
  info.fileVersion[0] = info.productVersion[0] = 2, info.fileVersion[1] = info.productVersion[1] = 5;
  info.fileVersionText = info.productVersionText = "2.5";
  info.productName = "W", info.fileDescription = "W Setup", info.originalFilename = "setup.exe";
  EXPECT_EQ(PeVersionBlock(info), image.Find(PeResourceName::Id(PE_RT_VERSION), PeResourceName::Id(1))->data);
  for (const char *f : {"payload/readme.txt", "setup.txt", "stub.exe", "good.ico", "bad.ico", "setup.exe"})
    TestRemoveFile(dir + f);
}

}  // namespace
