// Method-1 packer: a shortest-path parse in bytes over the operations that
// fit at each position, solved in chunks of 1 MiB.
#include "pack1.h"

#include <string.h>

#include <algorithm>

#include "ffs-cmp1.h"
#include "pack-match.h"
#include "vantor-core.h"

namespace {

const int kChunk = 1 << 20;
const int kHashBits = 16;
const int kWindow = 1 << 16;      // far strings reach 65,535 bytes back
const int kMaxChain = 24;
const int kNiceLength = 64;       // a string this long is taken as found
const int kMinDistanceOverlap = 4;
const uint32_t kInfinite = 0xFFFFFFFFu;

int HeadBytes(int n) { return n <= CMP1_SHORT_MAX ? 1 : n <= CMP1_MEDIUM_MAX ? 2 : 4; }


// One step of the parse: an operation of `length` output bytes. param is
// the run byte, the delta step, the channel count, the word step h, the
// ByteCopy h or the string distance.
struct Step {
  uint8_t opcode;
  uint8_t fromLiteral;  // state the step left from: 1 = inside a literal run
  uint16_t param;
  uint32_t length;
};

// First position at or after `from` where a property stops holding, cached
// so a query inside the last stretch found costs nothing. Positions only
// move forward, so each byte is scanned once per property.
struct SpanCache {
  size_t from = 1, end = 0;
  bool genuine = false;  // end is a position where the property fails
  template <class Holds>
  size_t End(size_t x, size_t limit, Holds holds) {
    size_t q = x;
    if (x >= from && x <= end) {
      if (genuine || end >= limit) return std::min(end, limit);
      q = end;
    } else {
      from = x;
    }
    while (q < limit && holds(q)) q++;
    end = q;
    genuine = q < limit;
    return q;
  }
};

class Packer {
 public:
  Packer(const uint8_t *data, size_t size, std::vector<uint8_t> *out)
      : data_(data), size_(size), out_(out), head_(1u << kHashBits, 0), prev_(kWindow, 0) {}

  bool Run() {
    // A chunk's parse, sized for the content when that is smaller.
    size_t most = std::min<size_t>(kChunk, size_);
    std::vector<uint32_t> costOp(most + 1), costLit(most + 1);
    std::vector<Step> viaOp(most + 1);
    std::vector<uint8_t> litFrom(most + 1);
    for (size_t start = 0; start < size_; start += kChunk) {
      size_t span = std::min<size_t>(kChunk, size_ - start);
      std::fill(costOp.begin(), costOp.begin() + span + 1, kInfinite);
      std::fill(costLit.begin(), costLit.begin() + span + 1, kInfinite);
      costOp[0] = 0;
      if (pendingLength_ > 0) costLit[0] = 0;
      for (size_t i = 0; i < span; i++) {
        size_t pos = start + i;
        uint32_t best = std::min(costOp[i], costLit[i]);
        uint8_t fromLiteral = costLit[i] < costOp[i];
        // A literal either opens a Unique (its opcode byte) or extends one.
        uint32_t open = costOp[i] == kInfinite ? kInfinite : costOp[i] + 2;
        uint32_t extend = costLit[i] == kInfinite ? kInfinite : costLit[i] + 1;
        if (std::min(open, extend) < costLit[i + 1]) {
          costLit[i + 1] = std::min(open, extend);
          litFrom[i + 1] = extend <= open;
        }
        Candidates(pos, start + span, [&](int opcode, int param, uint32_t length, int cost) {
          uint32_t c = best + (uint32_t)cost;
          if (c < costOp[i + length]) {
            costOp[i + length] = c;
            viaOp[i + length] = Step{(uint8_t)opcode, fromLiteral, (uint16_t)param, length};
          }
        });
        Insert(pos);
      }
      // Walk the chosen path back, then emit it forwards.
      path_.clear();
      bool literal = costLit[span] < costOp[span];
      for (size_t i = span; i > 0;) {
        if (literal) {
          path_.push_back(Step{CMP1_UNIQUE, 0, 0, 1});
          literal = litFrom[i] != 0;
          i--;
        } else {
          const Step &s = viaOp[i];
          path_.push_back(s);
          literal = s.fromLiteral != 0;
          i -= s.length;
        }
      }
      size_t at = start;
      for (size_t k = path_.size(); k-- > 0;) {
        if (!Emit(path_[k], at)) return false;
        at += path_[k].length;
      }
    }
    if (!FlushLiterals()) return false;
    static const uint8_t end[4] = {CMP1_RUN, 0, 0, 0};
    out_->insert(out_->end(), end, end + 4);
    return true;
  }

 private:
  // Calls add(opcode, param, length, cost in bytes) for each operation that
  // can produce the bytes at pos without passing limit.
  template <class Add>
  void Candidates(size_t pos, size_t limit, Add add) {
    const uint8_t *d = data_;
    size_t cap = std::min<size_t>(limit, pos + CMP1_MAX_LENGTH);
    size_t longest = 0;

    size_t runEnd = run_.End(pos + 1, cap, [&](size_t q) { return d[q] == d[pos]; });
    if (runEnd - pos >= 2) add(CMP1_RUN, d[pos], (uint32_t)(runEnd - pos), HeadBytes((int)(runEnd - pos)) + 1);
    longest = runEnd - pos;

    // Channels k = 1 (Delta) to 8 (DeltaC): byte q is byte q - k plus the
    // step of its channel, the steps being set by the first k bytes.
    for (int k = 1; k <= CMP1_CHANNELS; k++) {
      if (pos < (size_t)k || pos + k >= cap) break;
      size_t e = delta_[k - 1].End(pos + k, cap, [&](size_t q) {
        return (uint8_t)(d[q] - d[q - k]) == (uint8_t)(d[q - k] - d[q - 2 * k]);
      });
      int length = (int)(e - pos);
      int cost = HeadBytes(length) + 1 + (k > 1 ? k : 0);
      uint8_t step = (uint8_t)(d[pos] - d[pos - k]);
      if (k == 1 && step == 0) continue;  // a Run
      if (length > cost) add(k == 1 ? CMP1_DELTA : CMP1_DELTA_C, k == 1 ? step : k, (uint32_t)length, cost);
      longest = std::max(longest, (size_t)length);
    }

    if (pos >= 2 && pos + 2 <= cap) {
      unsigned lastLe = d[pos - 2] | d[pos - 1] << 8, nextLe = d[pos] | d[pos + 1] << 8;
      unsigned lastBe = d[pos - 2] << 8 | d[pos - 1], nextBe = d[pos] << 8 | d[pos + 1];
      unsigned up = (nextLe - lastLe) & 0xFFFF, down = (lastLe - nextLe) & 0xFFFF;
      if (up <= 15) add(CMP1_DELTA_P, (int)up, 2, 1);
      else if (down <= 15) add(CMP1_DELTA_PX, (int)down, 2, 1);
      up = (nextBe - lastBe) & 0xFFFF, down = (lastBe - nextBe) & 0xFFFF;
      if (up <= 15) add(CMP1_DELTA_N, (int)up, 2, 1);
      else if (down <= 15) add(CMP1_DELTA_NX, (int)down, 2, 1);
    }

    for (int h = 0; h < 16 && (size_t)h < pos; h++)
      if (d[pos - 1 - h] == d[pos]) {
        add(CMP1_BYTE_COPY, h, 1, 1);
        break;
      }

    Strings(pos, cap, longest, add);
  }

  // The longest near (distance up to 255) and far string. A long string
  // found at the previous position is carried on one byte shorter instead of
  // searching again, which keeps long repeats linear.
  template <class Add>
  void Strings(size_t pos, size_t cap, size_t longest, Add add) {
    int limit = (int)(cap - pos);
    if (carryFar_.length > 0) carryFar_.length--;
    if (carryNear_.length > 0) carryNear_.length--;
    if (carryFar_.length > limit) carryFar_.length = limit;
    if (carryNear_.length > limit) carryNear_.length = limit;
    if (carryFar_.length < kNiceLength && longest < (size_t)kNiceLength && limit >= 4 && pos + 4 <= size_) {
      carryFar_.length = carryNear_.length = 0;
      const uint8_t *here = data_ + pos;
      uint32_t first = PackLoad32(here);
      uint32_t entry = head_[Hash(pos)];
      for (int tries = kMaxChain; entry != 0 && tries > 0; tries--) {
        size_t cand = entry - 1;
        size_t distance = pos - cand;
        if (distance >= (size_t)kWindow) break;
        // Only a string longer than the best one at its reach is of use.
        int beat = distance <= 255 ? carryNear_.length : carryFar_.length;
        if (distance >= (size_t)kMinDistanceOverlap && beat < limit && data_[cand + beat] == here[beat] &&
            PackLoad32(data_ + cand) == first) {
          int length = PackMatchLength(here, data_ + cand, limit);
          if (length > carryFar_.length) carryFar_ = Carry{length, (int)distance};
          if (distance <= 255 && length > carryNear_.length) carryNear_ = Carry{length, (int)distance};
          if (length >= kNiceLength || length == limit) break;
        }
        entry = prev_[cand & (kWindow - 1)];
      }
    }
    if (carryNear_.length >= 3)
      add(CMP1_STRING_NEAR, carryNear_.distance, (uint32_t)carryNear_.length, HeadBytes(carryNear_.length) + 1);
    if (carryFar_.length >= 4 && carryFar_.length > carryNear_.length)
      add(CMP1_STRING_FAR, carryFar_.distance, (uint32_t)carryFar_.length, HeadBytes(carryFar_.length) + 2);
  }

  uint32_t Hash(size_t pos) const { return PackHash4(data_ + pos, kHashBits); }

  void Insert(size_t pos) {
    if (pos + 4 > size_) return;
    uint32_t h = Hash(pos);
    prev_[pos & (kWindow - 1)] = head_[h];
    head_[h] = (uint32_t)pos + 1;
  }

  bool FlushLiterals() {
    while (pendingLength_ > 0) {
      int n = (int)std::min<size_t>(pendingLength_, CMP1_MAX_LENGTH);
      if (!EncodeOpcode(CMP1_UNIQUE, n, out_)) return false;
      out_->insert(out_->end(), data_ + pendingStart_, data_ + pendingStart_ + n);
      pendingStart_ += n;
      pendingLength_ -= n;
    }
    return true;
  }

  bool Emit(const Step &s, size_t at) {
    if (s.opcode == CMP1_UNIQUE) {
      if (pendingLength_ == 0) pendingStart_ = at;
      pendingLength_ += s.length;
      return true;
    }
    if (!FlushLiterals()) return false;
    if (s.opcode >= CMP1_DELTA_P) {
      out_->push_back((uint8_t)(s.opcode | s.param << 4));
      return true;
    }
    if (!EncodeOpcode(s.opcode, (int)s.length, out_)) return false;
    switch (s.opcode) {
      case CMP1_RUN:
      case CMP1_STRING_NEAR:
      case CMP1_DELTA:
        out_->push_back((uint8_t)s.param);
        break;
      case CMP1_STRING_FAR:
        out_->push_back((uint8_t)s.param);
        out_->push_back((uint8_t)(s.param >> 8));
        break;
      case CMP1_DELTA_C:
        out_->push_back((uint8_t)s.param);
        for (int j = 0; j < s.param; j++) out_->push_back((uint8_t)(data_[at + j] - data_[at + j - s.param]));
        break;
    }
    return true;
  }

  struct Carry {
    int length;
    int distance;
  };

  const uint8_t *data_;
  size_t size_;
  std::vector<uint8_t> *out_;
  std::vector<uint32_t> head_, prev_;
  SpanCache run_, delta_[CMP1_CHANNELS];
  Carry carryFar_{0, 0}, carryNear_{0, 0};
  std::vector<Step> path_;
  size_t pendingStart_ = 0, pendingLength_ = 0;
};

}  // namespace

bool EncodeOpcode(int opcode, int n, std::vector<uint8_t> *out) {
  if (n <= 0 || n > CMP1_MAX_LENGTH) {
    if (n == 0) DebugPrintf("Zero length encountered in EncodeOpcode\n");
    return false;
  }
  if (n <= CMP1_SHORT_MAX) {
    out->push_back((uint8_t)(opcode | n << 4));
  } else if (n <= CMP1_MEDIUM_MAX) {
    out->push_back((uint8_t)opcode);
    out->push_back((uint8_t)(n - CMP1_SHORT_MAX));
  } else {
    uint8_t field[4] = {(uint8_t)opcode, 0, (uint8_t)n, (uint8_t)(n >> 8)};
    out->insert(out->end(), field, field + 4);
  }
  return true;
}

bool Pack1(const uint8_t *data, size_t size, std::vector<uint8_t> *out) {
  if (data == NULL || out == NULL || size == 0 || size >= 0x80000000u) return false;
  out->clear();
  out->reserve(PACK_OUTPUT_ROOM(size));
  out->insert(out->end(), CMP1_SIGNATURE, CMP1_SIGNATURE + 4);
  for (int i = 0; i < 4; i++) out->push_back((uint8_t)(size >> (8 * i)));
  Packer packer(data, size, out);
  return packer.Run();
}
