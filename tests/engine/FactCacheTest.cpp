// The duplicate cache's table: facts sharing a hash share a probe run, and removing any of them keeps the
// others findable, whatever order they go in.
#include <gtest/gtest.h>

#include <vector>

#include "rulecraft/engine/FactCache.h"

using namespace rulecraft;

namespace {

// The cache only stores and compares the pointers: distinct addresses stand in for facts.
TFact* FakeFact(std::vector<char>& Arena, size_t I) { return reinterpret_cast<TFact*>(&Arena[I]); }

bool Holds(const TFactCache& Cache, uint64_t Hash, const TFact* Fact) {
  return Cache.Find(Hash, [Fact](const TFact* Stored) { return Stored == Fact; }) == Fact;
}

}  // namespace

TEST(FactCache, CollidingFactsSurviveRemovalsInAnyOrder) {
  std::vector<char> Arena(512);
  TFactCache Cache;
  // Two hashes, each shared by many facts, plus singles: long runs that wrap past the end of the table.
  const uint64_t Shared[2] = {7, 0xFFFFFFFFFFFFFFFFull};
  std::vector<std::pair<uint64_t, TFact*>> Filed;
  for (size_t I = 0; I < 200; ++I) {
    const uint64_t Hash = I % 3 == 2 ? I * 0x9E3779B97F4A7C15ull : Shared[I % 3];
    Cache.Add(Hash, FakeFact(Arena, I));
    Filed.emplace_back(Hash, FakeFact(Arena, I));
  }
  EXPECT_EQ(Cache.Size(), 200u);
  // Remove every other one, from the middle outwards, checking every survivor each time.
  for (size_t Step = 0; Step < Filed.size(); Step += 2) {
    const size_t At = (Step * 37) % Filed.size();
    if (!Filed[At].second) continue;
    EXPECT_TRUE(Cache.Remove(Filed[At].first, Filed[At].second));
    EXPECT_FALSE(Holds(Cache, Filed[At].first, Filed[At].second));
    Filed[At].second = nullptr;
    for (const auto& [Hash, Fact] : Filed) {
      if (Fact) {
        ASSERT_TRUE(Holds(Cache, Hash, Fact)) << "lost after removing entry " << At;
      }
    }
  }
}

TEST(FactCache, AFactFiledUnderAnOldHashIsStillRemoved) {
  std::vector<char> Arena(4);
  TFactCache Cache;
  Cache.Add(42, FakeFact(Arena, 0));
  Cache.Add(43, FakeFact(Arena, 1));
  // Its values changed in place since: the hash asked with is no longer the one it was filed under.
  EXPECT_TRUE(Cache.Remove(99, FakeFact(Arena, 0)));
  EXPECT_FALSE(Cache.Remove(42, FakeFact(Arena, 0)));
  EXPECT_TRUE(Holds(Cache, 43, FakeFact(Arena, 1)));
  EXPECT_EQ(Cache.Size(), 1u);
  Cache.Clear(false);
  EXPECT_EQ(Cache.Size(), 0u);
  EXPECT_FALSE(Holds(Cache, 43, FakeFact(Arena, 1)));
}
