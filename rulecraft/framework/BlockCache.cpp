#include "rulecraft/framework/BlockCache.h"

namespace rulecraft {

thread_local TBlockLists GBlockLists{};

namespace {

// Frees the thread's lists when the thread ends, and from then on sends every block straight back to the heap
// (objects freed later in the thread's exit still find a consistent state).
struct TBlockListsOwner {
  TBlockListsOwner() noexcept { GBlockLists.Limit = CachedBlocksPerClass; }
  ~TBlockListsOwner() {
    GBlockLists.Limit = 0;
    GBlockLists.Closed = true;
    ReleaseCachedBlocks();
  }
};

}  // namespace

void ReleaseCachedBlocks() noexcept {
  TBlockLists& Lists = GBlockLists;
  for (size_t Class = 0; Class < BlockClassCount; ++Class) {
    void* Block = Lists.Heads[Class];
    while (Block) {
      void* Next = *static_cast<void**>(Block);
      ::operator delete(Block);
      Block = Next;
    }
    Lists.Heads[Class] = nullptr;
    Lists.Counts[Class] = 0;
  }
}

size_t CachedBlockCount() noexcept {
  size_t Count = 0;
  for (uint32_t Each : GBlockLists.Counts) Count += Each;
  return Count;
}

void detail::GiveBackSlow(void* Block, size_t Class) noexcept {
  TBlockLists& Lists = GBlockLists;
  if (Lists.Limit == 0 && !Lists.Closed) {
    // The thread's first block: register the clean-up at thread exit, which opens the lists.
    try {
      thread_local TBlockListsOwner Owner;
      (void)Owner;
    } catch (...) {
    }
    if (Lists.Counts[Class] < Lists.Limit) {
      *static_cast<void**>(Block) = Lists.Heads[Class];
      Lists.Heads[Class] = Block;
      ++Lists.Counts[Class];
      return;
    }
  }
  ::operator delete(Block);
}

}  // namespace rulecraft
