#pragma once
// Recycled blocks for the objects an engine makes and frees by the million while it runs (values, facts,
// tokens, activations). A class opts in with RC_CACHED_BLOCKS; its objects then come from a per-thread list
// of freed blocks of their size class (16-byte steps up to MaxCachedBlock bytes), refilled from the heap when
// empty. Taking or giving back a block is a few instructions and never locks: every thread has its own lists.
// A block freed on another thread than the one that made it simply joins that thread's list.
//
// Each list keeps at most CachedBlocksPerClass blocks; more go back to the heap. A thread's lists are freed
// when the thread ends, and ReleaseCachedBlocks frees the calling thread's lists at once. Builds with a
// sanitizer that checks memory (address, thread, memory) take every block from the heap, so that a use after
// free is still caught.
#include <cstddef>
#include <cstdint>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define RULECRAFT_NO_BLOCK_CACHE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define RULECRAFT_NO_BLOCK_CACHE 1
#endif
#endif

namespace rulecraft {

constexpr size_t MaxCachedBlock = 128;
constexpr size_t BlockClassCount = MaxCachedBlock / 16;
constexpr uint32_t CachedBlocksPerClass = 4096;

/// One thread's lists of free blocks. Constant-initialised and trivially destructible, so reaching it costs
/// no initialisation check; Limit is 0 until the thread's first cached block registers the clean-up at thread
/// exit, and again once that clean-up has run.
struct TBlockLists {
  void* Heads[BlockClassCount];
  uint32_t Counts[BlockClassCount];
  uint32_t Limit;
  bool Closed;
};
extern thread_local TBlockLists GBlockLists;

/// Frees every block on the calling thread's lists.
void ReleaseCachedBlocks() noexcept;
/// The number of blocks on the calling thread's lists.
size_t CachedBlockCount() noexcept;

namespace detail {
void GiveBackSlow(void* Block, size_t Class) noexcept;
}

inline void* TakeBlock(size_t Size) {
#ifndef RULECRAFT_NO_BLOCK_CACHE
  if (Size <= MaxCachedBlock && Size > 0) {
    const size_t Class = (Size - 1) / 16;
    TBlockLists& Lists = GBlockLists;
    if (void* Head = Lists.Heads[Class]) {
      Lists.Heads[Class] = *static_cast<void**>(Head);
      --Lists.Counts[Class];
      return Head;
    }
    // A block of the whole class size, so that it can serve any size of its class later.
    return ::operator new((Class + 1) * 16);
  }
#endif
  return ::operator new(Size);
}

inline void GiveBackBlock(void* Block, size_t Size) noexcept {
  if (!Block) return;
#ifndef RULECRAFT_NO_BLOCK_CACHE
  if (Size <= MaxCachedBlock && Size > 0) {
    const size_t Class = (Size - 1) / 16;
    TBlockLists& Lists = GBlockLists;
    if (Lists.Counts[Class] < Lists.Limit) {
      *static_cast<void**>(Block) = Lists.Heads[Class];
      Lists.Heads[Class] = Block;
      ++Lists.Counts[Class];
      return;
    }
    detail::GiveBackSlow(Block, Class);
    return;
  }
#endif
  (void)Size;
  ::operator delete(Block);
}

}  // namespace rulecraft

/// Makes a class's objects come from the recycled blocks (see above). The class must be final, so that the
/// size handed to delete is the size its new was asked for.
#define RC_CACHED_BLOCKS                                                               \
 public:                                                                               \
  static void* operator new(std::size_t Size) { return ::rulecraft::TakeBlock(Size); } \
  static void operator delete(void* Block, std::size_t Size) noexcept {                \
    ::rulecraft::GiveBackBlock(Block, Size);                                           \
  }                                                                                    \
                                                                                       \
 private:
