#pragma once
// TValueHashTable: a string-keyed table of values (the engine's variables and value store, parsed tables of
// global variables). Keys compare exactly; the table keeps its keys in insertion order, which is the order
// of its index enumeration and of its text.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "rulecraft/core/Value.h"
#include "rulecraft/framework/Object.h"

namespace rulecraft {

class TValueHashTable : public TPersistent {
  RC_CLASS(TValueHashTable, TPersistent)
 public:
  TValueHashTable() = default;

  /// True, and the stored value in Value, when Key is present.
  bool ContainsKey(const std::string& Key, IIEValue& Value) const;
  bool ContainsKey(const std::string& Key) const { return FIndex.count(Key) != 0; }
  /// The stored value, or nil.
  IIEValue Get(const std::string& Key) const;
  IIEValue GetItem(const std::string& Key) const { return Get(Key); }
  void SetItem(const std::string& Key, IIEValue Value) { Put(Key, std::move(Value)); }
  /// Stores Value under Key and returns the value it replaced (nil when the key is new).
  IIEValue Put(const std::string& Key, IIEValue Value);
  /// Removes the entry and returns its value (nil when the key is absent).
  IIEValue Remove(const std::string& Key);
  void Clear();
  int32_t Count() const noexcept { return static_cast<int32_t>(FKeys.size()); }
  /// The key and value at a position of the index enumeration (0..Count-1).
  const std::string& GetKeyByIndex(int32_t Index) const;
  IIEValue GetItemByIndex(int32_t Index) const;

  /// For every key in index order: key, " = ", the value's text and a line break.
  std::string GetToString() const;
  /// From another value table: clears, then stores a clone of every value under the same key.
  void Assign(const TPersistent* Source) override;

 private:
  struct TEntry {
    size_t Position;
    IIEValue Value;
  };
  std::unordered_map<std::string, TEntry> FIndex;
  std::vector<std::string> FKeys;
};

}  // namespace rulecraft
