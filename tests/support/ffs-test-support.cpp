#include "ffs-test-support.h"

#include <stdio.h>
#include <string.h>

#include <set>

#include <gtest/gtest.h>

#include "archive-writer.h"
#include "ffs.h"
#include "test-support.h"
#include "vantor-core.h"

void PutLe32(Bytes *out, uint32_t v) {
  for (int i = 0; i < 4; i++) out->push_back((uint8_t)(v >> (8 * i)));
}

void SetLe32(Bytes *bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) (*bytes)[at + i] = (uint8_t)(v >> (8 * i));
}

Bytes Text(const std::string &text) { return Bytes(text.begin(), text.end()); }

Bytes Vector48() {
  const uint8_t head[] = {0x46, 0x46, 0x53, 0x21, 0x01, 0x00, 0x00, 0x00, 0xFE, 0xFF, 0xFF, 0xFF,
                          0x00, 0x00, 0x00, 0x00, 0x34, 0x9A, 0x8D, 0x96, 0x18, 0x00, 0x00, 0x00,
                          0x34, 0x9A, 0x8D, 0x96, 0x10, 0x00, 0x00, 0x00};
  Bytes b(head, head + sizeof head);
  Bytes digits = Text("0123456789ABCDEF");
  b.insert(b.end(), digits.begin(), digits.end());
  return b;
}

// Every file the archive tests wrote is removed when the test program ends.
static std::set<std::string> &Written() {
  static std::set<std::string> names;
  return names;
}

namespace {
class RemoveWrittenFiles : public testing::Environment {
 public:
  void TearDown() override {
    for (const std::string &name : Written()) remove(name.c_str());
  }
};
const testing::Environment *const removeWrittenFiles = testing::AddGlobalTestEnvironment(new RemoveWrittenFiles);
}  // namespace

Bytes FakePeStub(size_t size) {
  Bytes b(size, 0x90);
  b[0] = 'M';
  b[1] = 'Z';
  SetLe32(&b, 0x3C, 0x80);
  memcpy(&b[0x80], "PE\0\0", 4);
  SetLe32(&b, 0x80 + 20, 0xE0);       // optional header size (the high half is Characteristics)
  SetLe32(&b, 0x98, 0x10B);           // PE32 magic, linker version
  SetLe32(&b, 0x98 + 92, 16);         // data directories
  for (size_t i = 0; i < 16 * 8; i++) b[0x98 + 96 + i] = 0;
  SetLe32(&b, kFakePeChecksumAt, 0);
  return b;
}

Bytes FakeSign(Bytes file, uint32_t tableSize) {
  while (file.size() % 8 != 0) file.push_back(0);
  uint32_t at = (uint32_t)file.size();
  Bytes table(tableSize);
  for (uint32_t i = 0; i < tableSize; i++) table[i] = (uint8_t)(i * 31 + 7);
  SetLe32(&table, 0, tableSize);  // WIN_CERTIFICATE: length, revision 2.0, PKCS#7
  SetLe32(&table, 4, 0x00020200);
  file.insert(file.end(), table.begin(), table.end());
  SetLe32(&file, kFakePeSecurityAt, at);
  SetLe32(&file, kFakePeSecurityAt + 4, tableSize);
  SetLe32(&file, kFakePeChecksumAt, 0x0004C2A1);
  return file;
}

std::string WriteTestFile(const std::string &name, const Bytes &bytes) {
  Written().insert(name);
  FILE *f = fopen(name.c_str(), "wb");
  if (f) {
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  return name;
}

std::string LogOf(const std::function<void()> &step) {
  std::string path = TestStartLog(DEBUG_FILE);
  step();
  TestStopLog();
  std::string raw = TestReadFile(path), text;
  TestRemoveFile(path);
  for (size_t i = 0; i < raw.size(); i++)
    if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) text += raw[i];
  return text;
}

Bytes MakeArchive(const std::vector<RawRecord> &records, uint32_t flags, uint32_t base) {
  Bytes out = Text("FFS!");
  uint32_t n = (uint32_t)records.size();
  PutLe32(&out, n);
  PutLe32(&out, ~n);
  PutLe32(&out, flags);
  uint32_t offset = base + 16 + 8 * n;
  for (const RawRecord &r : records) {
    PutLe32(&out, r.hash);
    PutLe32(&out, offset);
    offset += 8 + (uint32_t)r.data.size();
  }
  for (const RawRecord &r : records) {
    PutLe32(&out, r.hash);
    PutLe32(&out, (uint32_t)r.data.size());
    out.insert(out.end(), r.data.begin(), r.data.end());
  }
  return out;
}

bool LoadByName(const std::string &name, Bytes *content) {
  std::vector<char> writable(name.begin(), name.end());
  writable.push_back(0);
  uint32_t size = 0;
  if (!FfsGetSize(writable.data(), &size)) return false;
  content->assign(size + 1, 0);  // never an empty vector, whose data() may be NULL
  writable.assign(name.begin(), name.end());
  writable.push_back(0);
  if (!FfsLoad(writable.data(), content->data(), size)) return false;
  content->resize(size);
  return true;
}

