// Method 3 against liblzma in both directions: the decoder reads the
// library's raw streams for many coder parameters and dictionary sizes, the
// library reads the packer's entries; round trips at the sizes around the
// longest match, the dictionary and 64 KiB; distances at and past the
// dictionary's end; reproducible output; the archive writer's use of it.
// Only where the builder has liblzma (not in the Win32 build).
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive-writer.h"
#include "ffs-cmp3.h"
#include "ffs-test-support.h"
#include "pack3.h"

#ifdef VANTOR_HAVE_LZMA
#include <lzma.h>

namespace {

// Text, a run, noise, and an x86-like mix of small numbers and opcodes.
Bytes Data(int kind, size_t size, uint32_t seed = 7) {
  Bytes b(size);
  for (size_t i = 0; i < size; i++) {
    seed = seed * 1103515245u + 12345u;
    switch (kind) {
      case 0: b[i] = (uint8_t)"to be packed, or not to be packed: that is the question. "[i % 57 ^ (seed >> 28 & 1)]; break;
      case 1: b[i] = 0x41; break;
      case 2: b[i] = (uint8_t)(seed >> 24); break;
      default: b[i] = (uint8_t)((seed >> 29) == 0 ? 0xE8 : (seed >> 27) % 5 == 0 ? (seed >> 16) : i & 0x0F); break;
    }
  }
  return b;
}

lzma_options_lzma Options(int lc, int lp, int pb, uint32_t dictionary, uint32_t size, int preset = 6) {
  lzma_options_lzma o;
  lzma_lzma_preset(&o, (uint32_t)preset);
  o.lc = (uint32_t)lc;
  o.lp = (uint32_t)lp;
  o.pb = (uint32_t)pb;
  o.dict_size = dictionary;
  o.ext_flags = 0;
  o.ext_size_low = size;
  o.ext_size_high = 0;
  return o;
}

// A method-3 entry made by the library's raw encoder directly.
Bytes LibraryEntry(const Bytes &data, int lc, int lp, int pb, uint32_t dictionary) {
  lzma_options_lzma o = Options(lc, lp, pb, dictionary, (uint32_t)data.size());
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &o}, {LZMA_VLI_UNKNOWN, NULL}};
  Bytes out = Text(CMP3_SIGNATURE);
  PutLe32(&out, (uint32_t)data.size());
  out.push_back((uint8_t)CMP3_PARAMETERS(lc, lp, pb));
  PutLe32(&out, dictionary);
  Bytes stream(data.size() + data.size() / 2 + 1024);
  size_t written = 0;
  EXPECT_EQ(LZMA_OK, lzma_raw_buffer_encode(filters, NULL, data.data(), data.size(), stream.data(), &written,
                                             stream.size()));
  out.insert(out.end(), stream.begin(), stream.begin() + written);
  return out;
}

bool LibraryDecodes(const Bytes &entry, const Bytes &expected) {
  Cmp3Head head;
  if (!Cmp3ReadHead(entry.data(), (int)entry.size(), &head)) return false;
  lzma_options_lzma o = Options(head.lc, head.lp, head.pb, head.dictionary, head.size);
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &o}, {LZMA_VLI_UNKNOWN, NULL}};
  Bytes out(head.size);
  size_t inPos = 0, outPos = 0;
  lzma_ret ret = lzma_raw_buffer_decode(filters, NULL, entry.data() + CMP3_HEAD_SIZE, &inPos,
                                        entry.size() - CMP3_HEAD_SIZE, out.data(), &outPos, out.size());
  return ret == LZMA_OK && inPos == entry.size() - CMP3_HEAD_SIZE && out == expected;
}

bool Decodes(const Bytes &entry, const Bytes &expected) {
  Bytes out(expected.size());
  return Cmp3Decompress(entry.data(), (int)entry.size(), out.data(), (int)out.size()) == 1 && out == expected;
}

TEST(Pack3Library, DecoderReadsTheLibrarysStreams) {
  const int params[][3] = {{3, 0, 2}, {0, 2, 2}, {4, 0, 4}, {0, 4, 0}, {1, 3, 1}, {0, 0, 0}};
  for (const auto &p : params)
    for (uint32_t dictionary : {4096u, 1u << 16})
      for (int kind = 0; kind < 4; kind++)
        for (size_t size : {1u, 273u, 4097u, 70000u}) {
          Bytes data = Data(kind, size);
          EXPECT_TRUE(Decodes(LibraryEntry(data, p[0], p[1], p[2], dictionary), data))
              << "lc " << p[0] << " lp " << p[1] << " pb " << p[2] << " D " << dictionary << " kind " << kind
              << " size " << size;
        }
}

TEST(Pack3Library, LibraryReadsThePackersEntries) {
  for (int kind = 0; kind < 4; kind++)
    for (size_t size : {1u, 2u, 3u, 272u, 273u, 274u, 4095u, 4096u, 4097u, 65535u, 65536u, 65537u}) {
      Bytes data = Data(kind, size), entry;
      ASSERT_TRUE(Pack3(data.data(), data.size(), &entry, 6));
      Cmp3Head head;
      ASSERT_EQ(1, Cmp3ReadHead(entry.data(), (int)entry.size(), &head));
      EXPECT_EQ(size, head.size);
      EXPECT_GE(head.dictionary, size < CMP3_MIN_DICTIONARY ? CMP3_MIN_DICTIONARY : size);
      EXPECT_TRUE(LibraryDecodes(entry, data)) << kind << " " << size;
      EXPECT_TRUE(Decodes(entry, data)) << kind << " " << size;
    }
  Bytes big = Data(0, (1u << 20) + 1), entry;
  ASSERT_TRUE(Pack3(big.data(), big.size(), &entry));
  EXPECT_TRUE(Decodes(entry, big));
  EXPECT_FALSE(Pack3(big.data(), 0, &entry));
  EXPECT_FALSE(Pack3(big.data(), 10, &entry, PACK3_MAX_LEVEL + 1));
}

// A block of noise and the same block again: the second copy is one match
// at a distance of exactly the block's size.
TEST(Pack3Library, DistancesAtTheDictionarysEnd) {
  for (size_t block : {4095u, 4096u}) {
    Bytes data = Data(2, block);
    data.insert(data.end(), data.begin(), data.end());
    Bytes entry = LibraryEntry(data, 3, 0, 2, 4096);
    EXPECT_LT(entry.size(), block + 200) << "the repeat was packed as a match";
    EXPECT_TRUE(Decodes(entry, data)) << block;
  }
  // A repeat 5,000 bytes back, packed with an 8 KiB dictionary, names a
  // distance the same stream under a 4 KiB head may not reach.
  Bytes data = Data(2, 5000);
  data.insert(data.end(), data.begin(), data.end());
  Bytes entry = LibraryEntry(data, 3, 0, 2, 8192);
  EXPECT_TRUE(Decodes(entry, data));
  SetLe32(&entry, 9, 4096);
  EXPECT_FALSE(Decodes(entry, data));
}

TEST(Pack3Library, OutputDependsOnlyOnDataAndLevel) {
  Bytes data = Data(3, 300000), first, second, fast;
  ASSERT_TRUE(Pack3(data.data(), data.size(), &first));
  ASSERT_TRUE(Pack3(data.data(), data.size(), &second));
  EXPECT_EQ(first, second);
  for (int level = PACK3_MIN_LEVEL; level <= PACK3_MAX_LEVEL; level += 3) {
    ASSERT_TRUE(Pack3(data.data(), data.size(), &fast, level));
    EXPECT_TRUE(Decodes(fast, data)) << level;
    EXPECT_LE(first.size(), fast.size()) << level;
  }
  int level = -1;
  EXPECT_TRUE(Pack3ParseLevel("0", &level));
  EXPECT_EQ(0, level);
  EXPECT_FALSE(Pack3ParseLevel("10", &level));
  EXPECT_FALSE(Pack3ParseLevel("", &level));
}

TEST(Pack3Writer, SmallestTakesMethod3WhereItIsSmallest) {
  ArchiveWriter writer;
  std::string error;
  Bytes text = Data(0, 200000);
  ASSERT_TRUE(writer.Add("text", text, ARCHIVE_SMALLEST, &error)) << error;
  EXPECT_EQ(ARCHIVE_METHOD3, writer.Entries()[0].method);
  EXPECT_EQ((uint32_t)FFS_FLAG_METHOD3, writer.Flags() & FFS_FLAG_METHOD3);
  // Raw data that begins with the method-3 signature is packed.
  ASSERT_TRUE(writer.Add("tricky", Text("FFC# looks packed but is not"), ARCHIVE_RAW, &error)) << error;
  for (const ArchiveEntry &e : writer.Entries()) {
    if (e.name == "tricky") {
      EXPECT_NE(ARCHIVE_RAW, e.method);
    }
  }
}

}  // namespace

#endif
