// Helpers of the archive tests: byte builders, files, and the log of one
// step.
#ifndef FFS_TEST_SUPPORT_H
#define FFS_TEST_SUPPORT_H

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

void PutLe32(Bytes *out, uint32_t v);
void SetLe32(Bytes *bytes, size_t at, uint32_t v);
Bytes Text(const std::string &text);

// The 48-byte standalone archive holding A.TXT = "0123456789ABCDEF" raw.
Bytes Vector48();

// Writes bytes to a file of that name in the current directory; returns it.
std::string WriteTestFile(const std::string &name, const Bytes &bytes);

// Runs step with the log on (file only) and returns what it logged, with
// CR LF turned back into "\n".
std::string LogOf(const std::function<void()> &step);

// A hand-made archive: header, the directory as given (unsorted if the test
// wants), records exactly as given. Offsets are filled in for base.
struct RawRecord {
  uint32_t hash;
  Bytes data;
};
Bytes MakeArchive(const std::vector<RawRecord> &records, uint32_t flags, uint32_t base = 0);

// Reads the entry through the mounted reader: size query, then a load of
// that size. false when either fails.
bool LoadByName(const std::string &name, Bytes *content);

// A stub of the given size (at least 512) whose headers read as a PE32
// program with 16 data directories; the CheckSum field and the security
// directory entry lie at the offsets below.
Bytes FakePeStub(size_t size);
const size_t kFakePeChecksumAt = 0x98 + 64;
const size_t kFakePeSecurityAt = 0x98 + 128;
// Signs a file made with FakePeStub as a signer does: zero padding to a
// multiple of 8, a certificate table of tableSize bytes appended and named
// in the security directory, a new CheckSum.
Bytes FakeSign(Bytes file, uint32_t tableSize = 1200);

#endif
