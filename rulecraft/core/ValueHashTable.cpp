#include "rulecraft/core/ValueHashTable.h"

#include "rulecraft/core/Constants.h"
#include "rulecraft/framework/Exception.h"

namespace rulecraft {

bool TValueHashTable::ContainsKey(const std::string& Key, IIEValue& Value) const {
  auto It = FIndex.find(Key);
  if (It == FIndex.end()) return false;
  Value = It->second.Value;
  return true;
}

IIEValue TValueHashTable::Get(const std::string& Key) const {
  auto It = FIndex.find(Key);
  return It == FIndex.end() ? IIEValue() : It->second.Value;
}

IIEValue TValueHashTable::Put(const std::string& Key, IIEValue Value) {
  auto [It, Inserted] = FIndex.try_emplace(Key, TEntry{FKeys.size(), IIEValue()});
  if (Inserted) FKeys.push_back(Key);
  IIEValue Previous = std::move(It->second.Value);
  It->second.Value = std::move(Value);
  return Previous;
}

IIEValue TValueHashTable::Remove(const std::string& Key) {
  auto It = FIndex.find(Key);
  if (It == FIndex.end()) return IIEValue();
  IIEValue Previous = std::move(It->second.Value);
  const size_t Position = It->second.Position;
  FIndex.erase(It);
  FKeys.erase(FKeys.begin() + static_cast<std::ptrdiff_t>(Position));
  for (size_t I = Position; I < FKeys.size(); ++I) FIndex.find(FKeys[I])->second.Position = I;
  return Previous;
}

void TValueHashTable::Clear() {
  FIndex.clear();
  FKeys.clear();
}

const std::string& TValueHashTable::GetKeyByIndex(int32_t Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FKeys[static_cast<size_t>(Index)];
}

IIEValue TValueHashTable::GetItemByIndex(int32_t Index) const { return Get(GetKeyByIndex(Index)); }

std::string TValueHashTable::GetToString() const {
  std::string Out;
  for (const std::string& Key : FKeys) {
    const IIEValue& Value = FIndex.find(Key)->second.Value;
    Out += Key;
    Out += " = ";
    if (Value) Out += Value->GetToString();
    Out += NewLineString;
  }
  return Out;
}

void TValueHashTable::Assign(const TPersistent* Source) {
  const auto* Table = dynamic_cast<const TValueHashTable*>(Source);
  if (!Table) {
    TPersistent::Assign(Source);
    return;
  }
  if (Table == this) return;
  Clear();
  for (const std::string& Key : Table->FKeys) {
    const IIEValue& Value = Table->FIndex.find(Key)->second.Value;
    Put(Key, Value ? Value->Clone() : IIEValue());
  }
}

}  // namespace rulecraft
