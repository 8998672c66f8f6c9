// Method-2 packer: LZSS over the 4,096-byte window, symbols coded with the
// decoder's own adaptive tree (core/ffs-cmp2), distances with its prefix code.
#include "pack2.h"

#include <string.h>

#include <algorithm>

#include "ffs-cmp2.h"
#include "pack-match.h"

namespace {

const int kWindow = CMP2_WINDOW;
const int kMinMatch = CMP2_THRESHOLD + 1;  // 4
const int kMaxMatch = CMP2_LONGEST;        // 60
const int kHashBits = 15;
const int kRing = 2 * CMP2_WINDOW;         // chain links kept, by position
const int kMaxChain = 24;                  // candidates tried per position
const int kBlock = 4096;                   // bytes parsed with one price table
const int kLookahead = 64;                 // bytes searched past a block
const int kNiceLength = 48;                // a match this long is taken as found


struct Match {
  int length;
  int field;  // distance field p: the match starts p + 1 bytes back
};

// Hash chains over 4-byte prefixes of the last 4,096 positions, walked
// nearest first, so each length found comes with its nearest distance.
class MatchFinder {
 public:
  MatchFinder(const uint8_t *data, size_t size) : data_(data), size_(size), head_(1u << kHashBits, 0), prev_(kRing, 0) {}

  void Insert(size_t pos) {
    if (pos + 4 > size_) return;
    uint32_t h = Hash(pos);
    prev_[pos & (kRing - 1)] = head_[h];
    head_[h] = (uint32_t)pos + 1;
  }

  // Fills matches with ever longer matches (lengths 4..limit) found at pos,
  // each at the nearest distance that reaches it; returns their count.
  int Find(size_t pos, int limit, Match *matches) const {
    if (limit < kMinMatch || pos + 4 > size_) return 0;
    const uint8_t *here = data_ + pos;
    uint32_t first = PackLoad32(here);
    int best = kMinMatch - 1, count = 0;
    uint32_t entry = head_[Hash(pos)];
    for (int tries = kMaxChain; entry != 0 && tries > 0; tries--) {
      size_t cand = entry - 1;
      entry = prev_[cand & (kRing - 1)];
      if (cand >= pos) {  // inserted ahead, while looking past a block
        tries++;
        continue;
      }
      if (pos - cand > (size_t)kWindow) break;
      const uint8_t *there = data_ + cand;
      if (there[best] == here[best] && PackLoad32(there) == first) {
        int length = PackMatchLength(here, there, limit);
        if (length > best) {
          matches[count].length = length;
          matches[count].field = (int)(pos - cand - 1);
          count++;
          best = length;
          if (length == limit) break;
        }
      }
    }
    return count;
  }

 private:
  uint32_t Hash(size_t pos) const { return PackHash4(data_ + pos, kHashBits); }

  const uint8_t *data_;
  size_t size_;
  std::vector<uint32_t> head_;  // position + 1 of the newest entry, 0 = none
  std::vector<uint32_t> prev_;  // by position mod kRing: the older entry
};

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t> *out) : out_(out) {}
  // Appends the low count bits of code (count <= 56), most significant first.
  void Put(uint64_t code, int count) {
    acc_ = (acc_ << count) | code;
    count_ += count;
    while (count_ >= 8) {
      count_ -= 8;
      out_->push_back((uint8_t)(acc_ >> count_));
    }
  }
  // Pads the last byte with zero bits.
  void Flush() {
    if (count_ > 0) out_->push_back((uint8_t)(acc_ << (8 - count_)));
    count_ = 0;
  }

 private:
  std::vector<uint8_t> *out_;
  uint64_t acc_ = 0;
  int count_ = 0;
};

// Codes symbols and distances with the decoder's tree, updated after each.
class SymbolCoder {
 public:
  explicit SymbolCoder(std::vector<uint8_t> *out)
      : bits_(out), weight_(CMP2_NODES + 1), child_(CMP2_NODES), parent_(CMP2_NODES + CMP2_SYMBOLS) {
    tree_.weight = weight_.data();
    tree_.child = child_.data();
    tree_.parent = parent_.data();
    HuffStart(&tree_);
    for (int upper = 0; upper < 64; upper++) {
      unsigned code;
      distLength_[upper] = Cmp2DistanceCode(upper, &code);
      distCode_[upper] = code;
    }
  }

  void Literal(int byte) { Symbol(byte); }

  void Copy(int length, int field) {
    Symbol(length + 256 - kMinMatch);
    int upper = field >> 6;
    bits_.Put(((uint64_t)distCode_[upper] << 6) | (unsigned)(field & 63), distLength_[upper] + 6);
  }

  void Finish() { bits_.Flush(); }

  // Current code lengths in bits: literals 0..255, then match lengths
  // 4..60 at 256.., and every distance field.
  void Prices(int *symbolBits, int *fieldBits) const {
    int stack[CMP2_NODES][2];
    int top = 0;
    stack[top][0] = CMP2_ROOT;
    stack[top++][1] = 0;
    while (top > 0) {
      top--;
      int node = stack[top][0], depth = stack[top][1];
      int c = child_[node];
      if (c >= CMP2_NODES) {
        symbolBits[c - CMP2_NODES] = depth;
      } else {
        stack[top][0] = c;
        stack[top++][1] = depth + 1;
        stack[top][0] = c + 1;
        stack[top++][1] = depth + 1;
      }
    }
    if (fieldBits != NULL)
      for (int p = 0; p < kWindow; p++) fieldBits[p] = distLength_[p >> 6] + 6;
  }

 private:
  void Symbol(int symbol) {
    // The path from the leaf up; the bit nearest the root is sent first.
    uint64_t code = 0;
    int length = 0;
    for (unsigned n = parent_[symbol + CMP2_NODES]; n != CMP2_ROOT; n = parent_[n]) {
      code |= (uint64_t)(n & 1) << length;
      length++;
    }
    bits_.Put(code, length);
    HuffUpdate(&tree_, symbol);
  }

  BitWriter bits_;
  std::vector<uint16_t> weight_, child_, parent_;
  Cmp2Tree tree_;
  int distLength_[64];
  unsigned distCode_[64];
};

void PackGreedy(const uint8_t *data, size_t size, SymbolCoder *coder) {
  MatchFinder finder(data, size);
  Match matches[kMaxMatch];
  size_t pos = 0;
  while (pos < size) {
    int limit = (int)std::min<size_t>(kMaxMatch, size - pos);
    int count = finder.Find(pos, limit, matches);
    if (count == 0) {
      coder->Literal(data[pos]);
      finder.Insert(pos++);
      continue;
    }
    const Match &m = matches[count - 1];
    coder->Copy(m.length, m.field);
    for (int k = 0; k < m.length; k++) finder.Insert(pos++);
  }
}

// Shortest path over each block: cost[i] is the fewest bits that reach
// block offset i; ties go to the longer step, which saves a tree update.
// The path is searched kLookahead bytes past the block, so the steps near
// its end are chosen knowing what follows; only the steps that start
// inside the block are coded, and the next block starts where they end.
void PackBest(const uint8_t *data, size_t size, SymbolCoder *coder) {
  MatchFinder finder(data, size);
  std::vector<int> fieldBits(kWindow);
  int symbolBits[CMP2_SYMBOLS];
  std::vector<uint32_t> cost(kBlock + kLookahead + 1);
  std::vector<uint8_t> stepLength(kBlock + kLookahead + 1);
  std::vector<uint16_t> stepField(kBlock + kLookahead + 1);
  std::vector<int> path;
  Match matches[kMaxMatch];
  coder->Prices(symbolBits, fieldBits.data());
  const int *lengthBits = symbolBits + 256 - kMinMatch;
  size_t inserted = 0;

  for (size_t start = 0; start < size;) {
    int span = (int)std::min<size_t>(kBlock, size - start);
    int reach = (int)std::min<size_t>(kBlock + kLookahead, size - start);
    coder->Prices(symbolBits, NULL);
    std::fill(cost.begin(), cost.begin() + reach + 1, UINT32_MAX);
    cost[0] = 0;
    int skip = 0;
    for (int i = 0; i < reach; i++) {
      size_t pos = start + i;
      uint32_t here = cost[i];
      uint32_t literal = here + (uint32_t)symbolBits[data[pos]];
      if (literal < cost[i + 1]) {
        cost[i + 1] = literal;
        stepLength[i + 1] = 1;
      }
      int count = 0;
      if (skip > 0)
        skip--;
      else
        count = finder.Find(pos, std::min(kMaxMatch, reach - i), matches);
      // A long match is as good as certain: the positions it covers are
      // not searched, which keeps long repeats cheap.
      if (count > 0 && matches[count - 1].length >= kNiceLength) skip = matches[count - 1].length - 1;
      if (pos >= inserted) {
        finder.Insert(pos);
        inserted = pos + 1;
      }
      int length = kMinMatch;
      for (int m = 0; m < count; m++) {
        uint32_t base = here + (uint32_t)fieldBits[matches[m].field];
        for (; length <= matches[m].length; length++) {
          uint32_t c = base + (uint32_t)lengthBits[length];
          if (c <= cost[i + length]) {
            cost[i + length] = c;
            stepLength[i + length] = (uint8_t)length;
            stepField[i + length] = (uint16_t)matches[m].field;
          }
        }
      }
    }
    path.clear();
    for (int i = reach; i > 0; i -= stepLength[i]) path.push_back(i);
    int at = 0;
    for (size_t k = path.size(); k-- > 0 && at < span;) {
      int to = path[k];
      if (stepLength[to] == 1)
        coder->Literal(data[start + at]);
      else
        coder->Copy(to - at, stepField[to]);
      at = to;
    }
    start += at;
  }
}

}  // namespace

bool Pack2(const uint8_t *data, size_t size, std::vector<uint8_t> *out, Pack2Parse parse) {
  if (data == NULL || out == NULL || size == 0 || size >= 0x80000000u) return false;
  out->clear();
  out->reserve(PACK_OUTPUT_ROOM(size));
  for (int i = 0; i < 4; i++) out->push_back((uint8_t)CMP2_SIGNATURE[i]);
  uint32_t stored = ~(uint32_t)size;
  for (int i = 0; i < 4; i++) out->push_back((uint8_t)(stored >> (8 * i)));
  SymbolCoder coder(out);
  if (parse == PACK2_GREEDY)
    PackGreedy(data, size, &coder);
  else
    PackBest(data, size, &coder);
  coder.Finish();
  return true;
}
