// Recycled blocks: a freed object's block serves the next object of its size class on the same thread, the
// lists stay bounded, and a thread's lists are its own.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "rulecraft/framework/BlockCache.h"

using namespace rulecraft;

namespace {

struct TSmall final {
  RC_CACHED_BLOCKS
 public:
  explicit TSmall(int AValue) : Value(AValue) {}
  int Value;
  char Pad[20]{};
};

struct TLarge final {
  RC_CACHED_BLOCKS
 public:
  char Bytes[MaxCachedBlock + 1]{};
};

}  // namespace

#ifndef RULECRAFT_NO_BLOCK_CACHE

TEST(BlockCache, AFreedBlockServesTheNextObjectOfItsClass) {
  ReleaseCachedBlocks();
  auto* First = new TSmall(1);
  void* Where = First;
  delete First;
  EXPECT_EQ(CachedBlockCount(), 1u);
  // Any size of the same 16-byte class takes it: a block is made at the size of its whole class.
  void* Block = TakeBlock(sizeof(TSmall) - 1);
  EXPECT_EQ(Block, Where);
  EXPECT_EQ(CachedBlockCount(), 0u);
  GiveBackBlock(Block, sizeof(TSmall) - 1);
  auto* Second = new TSmall(2);
  EXPECT_EQ(static_cast<void*>(Second), Where);
  EXPECT_EQ(Second->Value, 2);
  delete Second;
  ReleaseCachedBlocks();
  EXPECT_EQ(CachedBlockCount(), 0u);
}

TEST(BlockCache, LargeObjectsAndTheOverflowGoToTheHeap) {
  ReleaseCachedBlocks();
  delete new TLarge();
  EXPECT_EQ(CachedBlockCount(), 0u);
  std::vector<TSmall*> Many;
  for (uint32_t I = 0; I < CachedBlocksPerClass + 100; ++I) Many.push_back(new TSmall(static_cast<int>(I)));
  for (TSmall* Each : Many) delete Each;
  EXPECT_EQ(CachedBlockCount(), CachedBlocksPerClass);
  ReleaseCachedBlocks();
  EXPECT_EQ(CachedBlockCount(), 0u);
}

TEST(BlockCache, EachThreadKeepsItsOwnLists) {
  ReleaseCachedBlocks();
  // Made here, freed on another thread: the block joins that thread's list and is freed when it ends.
  auto* Made = new TSmall(3);
  size_t Seen = 0;
  std::thread Other([&] {
    delete Made;
    Seen = CachedBlockCount();
  });
  Other.join();
  EXPECT_EQ(Seen, 1u);
  EXPECT_EQ(CachedBlockCount(), 0u);
}

#endif

TEST(BlockCache, ObjectsKeepTheirValuesWhateverTheirBlock) {
  std::vector<TSmall*> Objects;
  for (int Round = 0; Round < 3; ++Round) {
    for (int I = 0; I < 1000; ++I) Objects.push_back(new TSmall(I));
    for (int I = 0; I < 1000; ++I) EXPECT_EQ(Objects[static_cast<size_t>(I)]->Value, I);
    for (TSmall* Each : Objects) delete Each;
    Objects.clear();
  }
  ReleaseCachedBlocks();
}
