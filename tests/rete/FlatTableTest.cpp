// The flat hash table under the token memories: lookups stay right through growth and through erasures that
// close gaps in probe runs (wrapping round the end of the array included), checked against a reference map.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <unordered_map>

#include "rulecraft/rete/FlatTable.h"

using namespace rulecraft;

namespace {

template <typename TKey>
void CheckSame(const TFlatTable<TKey, uint32_t>& Table, const std::unordered_map<TKey, uint32_t>& Reference,
               TKey From, TKey To) {
  ASSERT_EQ(Table.Size(), Reference.size());
  for (TKey Key = From; Key != To; ++Key) {
    const uint32_t* Found = Table.Find(Key);
    auto It = Reference.find(Key);
    ASSERT_EQ(Found != nullptr, It != Reference.end()) << "key " << Key;
    if (Found) {
      ASSERT_EQ(*Found, It->second) << "key " << Key;
    }
  }
}

}  // namespace

TEST(FlatTable, AgreesWithAReferenceMapUnderChurn) {
  // A narrow key range makes long probe runs that wrap round the array and are broken up by erasures.
  TFlatTable<int32_t, uint32_t> Table;
  std::unordered_map<int32_t, uint32_t> Reference;
  EXPECT_EQ(Table.Find(0), nullptr);
  EXPECT_FALSE(Table.Erase(0));
  std::mt19937 Random(7);
  std::uniform_int_distribution<int32_t> Key(-300, 299);
  for (uint32_t Step = 0; Step < 20000; ++Step) {
    const int32_t K = Key(Random);
    if (Random() % 3 == 0) {
      EXPECT_EQ(Table.Erase(K), Reference.erase(K) == 1);
    } else {
      Table[K] = Step;
      Reference[K] = Step;
    }
    if (Step % 997 == 0) CheckSame(Table, Reference, -300, 300);
  }
  CheckSame(Table, Reference, -300, 300);

  // Emptied and refilled, and cleared, it answers as new.
  for (int32_t K = -300; K < 300; ++K) Table.Erase(K);
  EXPECT_TRUE(Table.Empty());
  EXPECT_EQ(Table.Find(5), nullptr);
  Table[5] = 1;
  ++Table[5];
  EXPECT_EQ(*Table.Find(5), 2u);
  Table.Clear();
  EXPECT_EQ(Table.Size(), 0u);
  EXPECT_EQ(Table.Find(5), nullptr);
  EXPECT_EQ(Table[5], 0u);  // value-initialised on insertion
}

TEST(FlatTable, WideKeysThatDifferOnlyInOneHalf) {
  // Keys of the twin table pair a key with a sort code: keys equal in one half must not be confused.
  TFlatTable<uint64_t, uint32_t> Table;
  std::unordered_map<uint64_t, uint32_t> Reference;
  for (uint64_t High = 0; High < 40; ++High)
    for (uint64_t Low = 0; Low < 40; ++Low) {
      const uint64_t K = High << 32 | Low;
      Table[K] = static_cast<uint32_t>(High * 100 + Low);
      Reference[K] = static_cast<uint32_t>(High * 100 + Low);
    }
  for (uint64_t High = 0; High < 40; High += 2)
    for (uint64_t Low = 1; Low < 40; Low += 3) {
      Table.Erase(High << 32 | Low);
      Reference.erase(High << 32 | Low);
    }
  ASSERT_EQ(Table.Size(), Reference.size());
  for (uint64_t High = 0; High < 41; ++High)
    for (uint64_t Low = 0; Low < 41; ++Low) {
      const uint64_t K = High << 32 | Low;
      const uint32_t* Found = Table.Find(K);
      auto It = Reference.find(K);
      ASSERT_EQ(Found != nullptr, It != Reference.end());
      if (Found) {
        EXPECT_EQ(*Found, It->second);
      }
    }
}
