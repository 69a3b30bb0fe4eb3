#pragma once
// TFactSlot: one slot of a fact template: a name, the value kinds it accepts, a default value, an optional
// defined type that refines what it accepts, and whether its default is evaluated for every new fact.
// Held through IFactSlot; facts cache the slot their values were checked against.
#include <cstdint>
#include <string>

#include "rulecraft/collections/Cloneable.h"
#include "rulecraft/core/Enums.h"
#include "rulecraft/core/IETypes.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/types/DefinedType.h"

namespace rulecraft {

class TFactTemplate;
class TFactSlot;
using IFactSlot = TRef<TFactSlot>;

/// How a slot's default was declared: a value (or none, which derives one), "?DERIVE" (derived from the
/// slot's kinds and constraints, as when omitted) or "?NONE" (the slot is required: a fact read from text
/// must give it a value).
enum TSlotDefaultKind : uint8_t { sdkValue, sdkDerive, sdkNone };

class TFactSlot final : public ICloneable {
  RC_CLASS(TFactSlot, ICloneable)
 public:
  /// A slot of Template (not counted; nullptr for a free slot). It enters the template when it is named.
  explicit TFactSlot(TFactTemplate* Template = nullptr);
  ~TFactSlot() override;

  // ICloneable
  using ICloneable::Assign;
  void Assign(const TPersistent* Source) override;
  /// Takes name (entering this slot's template under it), dynamic flag, tag, defined type, kinds and default.
  void Assign(const ICloneableRef& Source) override;
  void Assign(const IFactSlot& Source) { Assign(ICloneableRef(Source)); }
  ICloneableRef CloneInterface() const override { return Clone(); }
  /// A new slot on the same template, assigned from this one.
  IFactSlot Clone() const;
  /// Same name, kinds, defined type (or an equal one) and default (or one equal by value).
  bool Equals(const ICloneable* Other) const override;
  int32_t GetTag() const override { return FTag; }
  void SetTag(int32_t Value) override { FTag = Value; }

  bool GetDefaultDynamic() const noexcept { return FDefaultDynamic; }
  TSlotDefaultKind GetDefaultKind() const noexcept { return FDefaultKind; }
  void SetDefaultKind(TSlotDefaultKind Value) noexcept { FDefaultKind = Value; }
  /// Declared with (default ?NONE): a fact read from text must give this slot a value.
  bool IsRequired() const noexcept { return FDefaultKind == sdkNone; }
  void SetDefaultDynamic(bool Value) noexcept { FDefaultDynamic = Value; }
  const IIEDefinedType& GetExtendedTypeInfo() const noexcept { return FExtendedTypeInfo; }
  void SetExtendedTypeInfo(const IIEDefinedType& Value);
  const TIEName& GetName() const noexcept { return FName; }
  /// Refuses the characters construct names may not hold; a new name moves the slot in its template.
  void SetName(const TIEName& Value);
  const IIEValue& GetSlotDefault() const noexcept { return FSlotDefault; }
  /// Stores a clone of Value (a shared constant itself); with dynamic type checks on, a value the slot
  /// refuses raises "Invalid default slot value: %s".
  void SetSlotDefault(const IIEValue& Value);
  TIETypes GetSlotType() const noexcept { return FSlotType; }
  void SetSlotType(TIETypes Value);

  /// The template this slot belongs to, or nullptr.
  TFactTemplate* GetTemplate() const noexcept { return FTemplate; }
  /// The owning template's name; empty for a free slot.
  std::string GetTemplateName() const;
  bool IsFuzzy() const noexcept { return FSlotType.Contains(dtFuzzy); }
  /// A multislot holds a list default.
  bool IsMultiSlot() const noexcept { return FSlotDefault && FSlotDefault->GetDType() == dtList; }

  /// The slot or multislot clause, through the owning engine's printer when there is one.
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }

  IIEValue CreateValidDefault(bool Multi) const;
  bool IsValid(const IIEValue& Value) const;
  /// The empty text for a valid value, else the reason, ending in " for <name> slot".
  std::string GetInvalidValueString(const IIEValue& Value) const;

 private:
  friend class TFactTemplate;
  /// Raised when the default value object changes.
  void ValueChanged(const IIEValue& Value);
  void ListenToDefault(bool Listen);
  bool DynamicChecks() const;

  TFactTemplate* FTemplate;
  IIEValue FSlotDefault;
  TIEName FName;
  TIETypes FSlotType;
  int32_t FTag = 0;
  IIEDefinedType FExtendedTypeInfo;
  bool FDefaultDynamic = false;
  TSlotDefaultKind FDefaultKind = sdkValue;
};

}  // namespace rulecraft
