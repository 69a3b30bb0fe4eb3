#pragma once
// TValueVector: the multifield, a 0-based list of value handles held through IValueVector. A vector may
// hold the same value object more than once and may hold nil entries.
#include <cstdint>
#include <string>
#include <vector>

#include "rulecraft/collections/Cloneable.h"
#include "rulecraft/core/Value.h"

namespace rulecraft {

class TValueVector final : public ICloneable {
  RC_CLASS(TValueVector, ICloneable)
 public:
  TValueVector() = default;
  explicit TValueVector(std::vector<IIEValue> Values) : FValues(std::move(Values)) {}

  // ICloneable
  using ICloneable::Assign;
  /// Always refused: a multifield copies only from another multifield handle.
  void Assign(const TPersistent* Source) override;
  /// Clears, then adds a clone of every element of Source.
  void Assign(const ICloneableRef& Source) override;
  void Assign(const IValueVector& Source);
  ICloneableRef CloneInterface() const override { return Clone(); }
  bool Equals(const ICloneable* Other) const override;
  int32_t GetTag() const override { return FTag; }
  void SetTag(int32_t Value) override { FTag = Value; }

  /// A new vector holding a clone of every element.
  IValueVector Clone() const;

  int32_t GetValueCount() const noexcept { return static_cast<int32_t>(FValues.size()); }
  /// The element at Index; raises EListError outside 0..count-1.
  const IIEValue& Get(int32_t Index) const;
  /// The element object at Index without a check of the kind Get makes; nullptr outside 0..count-1.
  const TIEValue* ValueAt(int32_t Index) const noexcept {
    return Index >= 0 && Index < GetValueCount() ? FValues[static_cast<size_t>(Index)].get() : nullptr;
  }
  void Put(int32_t Index, IIEValue Value);
  /// Equal counts and, position by position, nil matches nil and values are Equals (kind and value).
  bool Equals(const IValueVector& Other) const { return Equals(Other.get()); }
  bool Equals(const TValueVector* Other) const;
  /// Appends Value and returns its index.
  int32_t Add(IIEValue Value);
  void Clear() noexcept { FValues.clear(); }
  const IIEValue& First() const { return Get(0); }
  const IIEValue& Last() const { return Get(GetValueCount() - 1); }
  /// The position of that very value object, or -1.
  int32_t IndexOf(const IIEValue& Value) const noexcept;
  void Insert(int32_t Index, IIEValue Value);
  void Delete(int32_t Index);
  /// Adds every element of Other in order, sharing the element objects.
  void Append(const IValueVector& Other);
  /// Removes the first occurrence of that very value object; returns its former index or -1.
  int32_t Remove(const IIEValue& Value);
  /// Each element's text followed by one blank; the empty text for an empty vector.
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }
  /// The 32-bit wrapping sum of the elements' hashes.
  int32_t GetHashCode() const;

  void Reserve(int32_t Capacity) { FValues.reserve(static_cast<size_t>(Capacity < 0 ? 0 : Capacity)); }
  const std::vector<IIEValue>& Values() const noexcept { return FValues; }
  std::vector<IIEValue>::const_iterator begin() const noexcept { return FValues.begin(); }
  std::vector<IIEValue>::const_iterator end() const noexcept { return FValues.end(); }

 private:
  [[noreturn]] void IndexError(int32_t Index) const;

  std::vector<IIEValue> FValues;
  int32_t FTag = 0;
};

inline const TValueVector* TIEValue::GetListObject() const noexcept {
  return FDType == dtList ? static_cast<const TValueVector*>(FData.Reference) : nullptr;
}

}  // namespace rulecraft
