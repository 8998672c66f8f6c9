// The adaptive tree stays consistent whatever symbols are counted, which is
// what keeps every decoder index in range: sibling order, pairs, parent
// links, one leaf per symbol, and a depth that one refill of the bit buffer
// covers.
#include <gtest/gtest.h>

#include <vector>

#include "ffs-cmp2.h"

namespace {

struct Tables {
  std::vector<uint16_t> weight = std::vector<uint16_t>(CMP2_NODES + 1);
  std::vector<uint16_t> child = std::vector<uint16_t>(CMP2_NODES);
  std::vector<uint16_t> parent = std::vector<uint16_t>(CMP2_NODES + CMP2_SYMBOLS);
  Cmp2Tree tree = {weight.data(), child.data(), parent.data()};
};

// Returns the deepest leaf, or -1 when an invariant fails.
int CheckTree(const Tables &t) {
  std::vector<int> leafOf(CMP2_SYMBOLS, -1);
  for (int n = 0; n + 1 < CMP2_NODES; n++)
    if (t.weight[n] > t.weight[n + 1]) return -1;
  if (t.weight[CMP2_NODES] != 0xFFFF || t.weight[CMP2_ROOT] > CMP2_REBUILD) return -1;
  for (int n = 0; n < CMP2_NODES; n++) {
    int c = t.child[n];
    if (c >= CMP2_NODES) {
      if (c >= CMP2_NODES + CMP2_SYMBOLS || leafOf[c - CMP2_NODES] != -1 || t.parent[c] != n) return -1;
      leafOf[c - CMP2_NODES] = n;
    } else if (c % 2 != 0 || c + 1 >= n || t.parent[c] != n || t.parent[c + 1] != n ||
               t.weight[n] != t.weight[c] + t.weight[c + 1]) {
      return -1;
    }
  }
  int deepest = 0;
  for (int s = 0; s < CMP2_SYMBOLS; s++) {
    if (leafOf[s] < 0) return -1;
    int depth = 0;
    for (int n = leafOf[s]; n != CMP2_ROOT; n = t.parent[n])
      if (++depth > CMP2_NODES) return -1;
    if (depth > deepest) deepest = depth;
  }
  return deepest;
}

TEST(Cmp2Tree, StaysConsistentThroughUpdatesAndRebuilds) {
  Tables t;
  HuffStart(&t.tree);
  EXPECT_EQ(t.weight[CMP2_ROOT], CMP2_SYMBOLS);
  ASSERT_GE(CheckTree(t), 0);
  uint32_t state = 1;
  int deepest = 0, rebuilds = 0;
  // Phases of very skewed and of flat symbol choices, across 7 rebuilds.
  for (int i = 0; i < 7 * 32455; i++) {
    state = state * 1664525u + 1013904223u;
    int phase = (i / 20000) % 3;
    int symbol = phase == 0 ? (int)(state >> 20) % 3 : phase == 1 ? (int)(state >> 8) % CMP2_SYMBOLS
                                                                   : 250 + (int)(state >> 16) % 63;
    if (t.weight[CMP2_ROOT] == CMP2_REBUILD) rebuilds++;
    HuffUpdate(&t.tree, symbol);
    if (i % 997 == 0 || t.weight[CMP2_ROOT] < 0x4200) {
      int depth = CheckTree(t);
      ASSERT_GE(depth, 0) << "after update " << i;
      if (depth > deepest) deepest = depth;
    }
  }
  EXPECT_GE(rebuilds, 6);
  // A Fibonacci-shaped weight set needs a root weight of Fib(d + 2) for
  // depth d, so a root of at most 0x8000 keeps the depth at 22 or less.
  EXPECT_LE(deepest, 22);
}

TEST(Cmp2Tree, FirstRebuildComesAtRootWeight0x8000) {
  Tables t;
  HuffStart(&t.tree);
  for (int i = 0; i < 32455; i++) HuffUpdate(&t.tree, 65);
  EXPECT_EQ(t.weight[CMP2_ROOT], CMP2_REBUILD);
  HuffUpdate(&t.tree, 65);  // halves first, then counts
  EXPECT_EQ(t.weight[t.parent[65 + CMP2_NODES]], (32456 + 1) / 2 + 1);
  EXPECT_GE(CheckTree(t), 0);
}

TEST(Cmp2Tree, DistancePrefixCodeIsCanonical) {
  unsigned code;
  EXPECT_EQ(Cmp2DistanceCode(0, &code), 3);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(Cmp2DistanceCode(1, &code), 4);
  EXPECT_EQ(code, 2u);
  EXPECT_EQ(Cmp2DistanceCode(11, &code), 5);
  EXPECT_EQ(code, 17u);
  EXPECT_EQ(Cmp2DistanceCode(63, &code), 8);
  EXPECT_EQ(code, 255u);
  // Kraft sum of exactly 1: a complete code.
  int sum = 0;
  for (int v = 0; v < 64; v++) sum += 256 >> Cmp2DistanceCode(v, &code);
  EXPECT_EQ(sum, 256);
}

}  // namespace
