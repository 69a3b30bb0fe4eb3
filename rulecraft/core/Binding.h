#pragma once
// Binding records: where a rule variable's value lives in a partial match (TBindingInfo), and a named
// variable binding with its value (TBinding). Values that hold a binding record print and resolve through it.
#include <cstdint>
#include <string>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Enums.h"
#include "rulecraft/framework/Object.h"
#include "rulecraft/framework/Ref.h"

namespace rulecraft {

class TIEValue;
using IIEValue = TRef<TIEValue>;

class TBindingInfo : public TPersistent {
  RC_CLASS(TBindingInfo, TPersistent)
 public:
  TBindingInfo() = default;
  TBindingInfo(int32_t FactIndex, std::string SlotName, int32_t SubIndex)
      : FSubIndex(SubIndex), FFactIndex(FactIndex), FSlotName(std::move(SlotName)) {}

  /// The 0-based position inside a multifield slot value, or NoSubIndex for the whole slot value.
  int32_t GetSubIndex() const noexcept { return FSubIndex; }
  void SetSubIndex(int32_t Value) noexcept { FSubIndex = Value; }
  /// The pattern's position in the partial match, or LocalBindingIndex.
  int32_t GetFactIndex() const noexcept { return FFactIndex; }
  void SetFactIndex(int32_t Value) noexcept { FFactIndex = Value; }
  /// Holds a slot name, not an index: the name of the slot the variable is bound to, or one of two sentinel
  /// names, SPatternBinding when the variable holds the whole fact and SLocalBinding when it is a variable
  /// of the context rather than of a fact.
  const std::string& GetSlotIndex() const noexcept { return FSlotName; }
  void SetSlotIndex(const std::string& Value) {
    FSlotName = Value;
    FLayoutSeen.reset();
  }
  /// Where the slot was found last time: the slot layout of the fact read (held, so that no other layout can
  /// take its address) and the slot's position in it. Readers of facts use and update them together.
  TRef<TInterfacedObject>& LayoutSeen() const noexcept { return FLayoutSeen; }
  int32_t& PositionSeen() const noexcept { return FPositionSeen; }

  void Assign(const TPersistent* Source) override;
  /// True when Other is a binding record (or descendant) at the same position.
  virtual bool Equals(const TObject* Other) const;
  /// "FactIdx=<n> SlotIdx=<slot>", then " SubIdx=<n>" unless SubIndex is NoSubIndex.
  std::string ToString() const override;

 protected:
  bool SamePosition(const TBindingInfo& Other) const noexcept {
    return FFactIndex == Other.FFactIndex && FSubIndex == Other.FSubIndex && FSlotName == Other.FSlotName;
  }

 private:
  int32_t FSubIndex = NoSubIndex;
  int32_t FFactIndex = 0;
  mutable int32_t FPositionSeen = -1;
  std::string FSlotName;
  mutable TRef<TInterfacedObject> FLayoutSeen;
};

class TBinding : public TBindingInfo {
  RC_CLASS(TBinding, TBindingInfo)
 public:
  TBinding() = default;
  /// A pattern binding: no value yet.
  TBinding(TIEName Name, int32_t FactIndex, std::string SlotName, int32_t SubIndex);
  /// A local binding holding Value.
  TBinding(TIEName Name, IIEValue Value);
  ~TBinding() override;

  const TIEName& GetName() const noexcept { return FName; }
  void SetName(const TIEName& Value) { FName = Value; }
  const IIEValue& GetValue() const noexcept { return FValue; }
  void SetValue(IIEValue Value);

  /// Copies name, value (the same value object) and position.
  void Assign(const TPersistent* Source) override;
  /// Another TBinding at the same position with the same name and the same or an equal value.
  bool Equals(const TObject* Other) const override;
  /// "name=<name>", " value=<text>" when there is a value, then one blank and the position text.
  std::string ToString() const override;

 private:
  TIEName FName;
  IIEValue FValue;
};

}  // namespace rulecraft
