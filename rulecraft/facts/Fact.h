#pragma once
// TFact: one record of the fact base: a template and one value per slot, plus the identifier the engine
// gives it on assertion (-1 until then). An ordered fact is a fact of an ordered template: its content is
// the list in the slot "__Data". Held through IFact.
//
// The values sit in an array in the template's slot order; the names come from the template. A slot never
// set is empty until it is read, and is then filled with a clone of its default. The fact keeps the slot
// layout its array follows and rearranges the array by name when the template's slots change.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rulecraft/core/Value.h"
#include "rulecraft/facts/FactSlot.h"
#include "rulecraft/facts/FactTemplate.h"
#include "rulecraft/framework/BlockCache.h"

namespace rulecraft {

/// The record of the rule firing that asserted a fact: the rule's name and the identifiers of the facts of
/// the firing's partial match, in pattern order (the placeholders of not and test elements left out). The
/// engine makes one per firing that asserts and every fact the firing asserts holds it; it names the rule
/// and the facts rather than holding them, so it keeps no rule or fact alive. One recycled 48-byte block
/// (another size than a fact's, so that facts stay close together): the name is the value of the rule's
/// name its firings share, and up to four identifiers are kept inside.
class TFactOrigin final : public TInterfacedObject {
  RC_CLASS(TFactOrigin, TInterfacedObject)
  RC_CACHED_BLOCKS
 public:
  /// Room for Count identifiers, each 0 until set.
  TFactOrigin(IIEValue RuleName, size_t Count);
  TFactOrigin(IIEValue RuleName, const std::vector<int32_t>& FactIds);
  const std::string& GetRuleName() const noexcept;
  std::vector<int32_t> GetFactIds() const;
  size_t GetFactCount() const noexcept { return FCount; }
  /// Index must be below GetFactCount.
  void SetFactId(size_t Index, int32_t Id) noexcept { (FMore ? FMore.get() : FInline)[Index] = Id; }

 private:
  static constexpr size_t InlineIds = 4;
  uint32_t FCount = 0;               // first, in the counted base's padding
  IIEValue FRuleName;                // a text value shared with the rule's firings
  std::unique_ptr<int32_t[]> FMore;  // every identifier, when there are more than InlineIds
  int32_t FInline[InlineIds] = {};
};
using IFactOrigin = TRef<TFactOrigin>;

class TFact final : public TFactBase {
  RC_CLASS(TFact, TFactBase)
  RC_CACHED_BLOCKS
 public:
  /// A fact of Template with an empty value table; a copy of Source (interface form) when given.
  explicit TFact(const IFactTemplate& Template = IFactTemplate(), const IFact& Source = IFact());
  ~TFact() override;

  // ICloneable
  using ICloneable::Assign;
  /// From another fact: its template and clones of its values (stored with type checks), ID and tag.
  void Assign(const TPersistent* Source) override;
  /// From another fact: its template and clones of its values, ID and tag.
  void Assign(const ICloneableRef& Source) override;
  void Assign(const IFact& Source) { Assign(ICloneableRef(Source)); }
  ICloneableRef CloneInterface() const override { return Clone(); }
  /// A new fact of the same template with clones of the values, the same ID and tag.
  IFact Clone() const;
  /// Same template object and equal values in every slot that is not fuzzy; a fact equals itself.
  bool Equals(const ICloneable* Other) const override;
  bool Equals(const IFact& Other) const { return Other && Equals(*Other); }
  /// Equals for a fact known to be one (no type test).
  bool Equals(const TFact& Other) const;
  int32_t GetTag() const override { return FTag; }
  void SetTag(int32_t Value) override { FTag = Value; }

  /// Replaces the values by clones of Source's values; both facts must share one template.
  void AssignValues(const TFact& Source);
  /// Answers a value, not a yes or no: the value of slot Name. A slot the template has but this fact never
  /// set is filled in first with a clone of the slot's default (so the call may change the fact); an empty
  /// handle means the template has no slot of that name.
  IIEValue ContainsKey(const std::string& Name);
  /// ContainsKey without a counted copy, for readers on the matching path: the value handle stays valid
  /// until the fact changes. Hint and Known are where and which slot was found last time (both updated):
  /// a fact of the same template holding that slot at that place is read without comparing names.
  const IIEValue* SlotValue(const std::string& Name, size_t& Hint, IFactSlot& Known);
  /// SlotValue with the position remembered beside the slot layout it belongs to (Layout and Position are
  /// updated): a fact of a template with that very layout is read without comparing names.
  const IIEValue* SlotValueSeen(const std::string& Name, TRef<TInterfacedObject>& Layout, int32_t& Position) {
    CheckTemplate();
    const ISlotLayout& Current = FTemplate->GetLayout();
    if (Layout.get() != Current.get()) {
      Position = FTemplate->IndexOfSlot(Name);
      Layout = Current;
    }
    return Position < 0 ? nullptr : &ValueAt(static_cast<size_t>(Position));
  }
  /// The value at a position of the template's slot table (filled in as ContainsKey does). Position must be
  /// below the template's slot count.
  const IIEValue& ValueAt(size_t Position) const {
    Follow();
    return Filled(Position).Value;
  }
  /// The template's hash combined with the hash of the values' texts in slot-name order.
  int32_t GetHashCode() const override;
  /// The engine's own hash of the fact: the template's identity and every slot value's match hash in slot
  /// order. Computed once and kept until a value of the fact is set (SetValue, AssignValues, SetTemplate,
  /// Assign) or ValuesChanged is called.
  uint64_t GetMatchHash() const override;
  /// Drops the kept match hash; whoever changes a value object held by this fact in place calls it.
  void ValuesChanged() const noexcept { FMatchHash = 0; }
  int32_t GetID() const noexcept { return FID; }
  void SetID(int32_t Value) noexcept { FID = Value; }
  /// The firing that asserted the fact, as the engine recorded it on the fact's assertion; empty for a fact
  /// asserted outside a firing (by the host, a reset, the prompt) or while the engine records no firings.
  /// Not copied by Clone or Assign: it belongs to one assertion.
  const IFactOrigin& GetOrigin() const noexcept { return FOrigin; }
  void SetOrigin(const IFactOrigin& Value) noexcept { FOrigin = Value; }
  const IFactTemplate& GetTemplate() const noexcept { return FTemplate; }
  /// Takes a new template, keeping the values of slots both templates have and filling the others.
  void SetTemplate(const IFactTemplate& Template);
  /// The fact's text, through the owning engine's printer when there is one.
  std::string GetToString() const override;
  std::string ToString() const override { return GetToString(); }
  /// "f-<id> <text>", the ID padded to the width of the engine's next ID when there is an engine.
  std::string GetToIDString() const;
  /// The value of a slot; a slot never set is filled with a clone of its default, which is returned.
  IIEValue GetValue(const std::string& Name);
  /// The names held in the value table.
  std::vector<std::string> GetSlotNames() const;
  /// The values held in the value table, in the order of GetSlotNames.
  std::vector<IIEValue> GetSlotValues() const;
  /// Stores Value (the object itself) in a slot; with dynamic type checks on, a value the slot refuses
  /// raises the slot's invalid-value text, but an integer for a float slot is stored as a float and a term
  /// name for a fuzzy slot as its fuzzy value.
  void SetValue(const std::string& Name, const IIEValue& Value);

  /// SetValue for the slot at a position of the template's slot table; Position must be below its slot count.
  void SetValueAt(size_t Position, const IIEValue& Value) {
    CheckTemplate();
    Follow();
    StoreAt(Position, Value, TypeChecking());
  }

  /// Room for Count slot values, so that filling a fact does not grow its table step by step.
  void Reserve(size_t Count) { (void)Count; }
  bool IsOrdered() const noexcept { return FTemplate && FTemplate->IsOrdered(); }
  /// The value stored for a slot, or nullptr when the slot was never set (nothing is filled in).
  const IIEValue* PeekValue(const std::string& Name) const;

 private:
  struct TEntry {
    IIEValue Value;
    bool Set = false;  // the slot holds a value (possibly the empty handle of a slot without default)
  };

  /// Brings the array in line with the template's current slot layout.
  void Follow() const {
    if (!FTemplate || FLayout != FTemplate->GetLayout()) Relayout();
  }
  void Relayout() const;
  /// The entry at Position, filled with a clone of the slot's default when never set.
  TEntry& Filled(size_t Position) const {
    TEntry& Entry = FValues[Position];
    if (!Entry.Set) FillDefault(Position);
    return Entry;
  }
  void FillDefault(size_t Position) const;
  /// SetValue for the slot at Position of the current layout; Checking: whether dynamic type checks apply.
  void StoreAt(size_t Position, const IIEValue& Value, bool Checking);
  bool TypeChecking() const noexcept;
  void CheckTemplate() const {
    if (!FTemplate) RaiseNoTemplate();
  }
  [[noreturn]] static void RaiseNoTemplate();
  bool AssignAcrossEngines(const TFact& Source);

  void ComputeMatchHash() const;
  /// Assign from a fact known to be one.
  void AssignFact(const TFact* Fact);

  /// The number of entries in FValues: the slots of the layout it follows.
  size_t SlotCount() const noexcept { return FLayout ? FLayout->Names.size() : 0; }
  /// A new array of Count empty entries.
  static std::unique_ptr<TEntry[]> NewEntries(size_t Count);

  // The 4-byte members first, where they fill the counted base's padding: a fact is 64 bytes.
  int32_t FID = -1;
  int32_t FTag = 0;
  mutable uint32_t FValuesHash =
      0;  // the value part of GetHashCode, valid while FMatchHash has HouseHashKept
  mutable std::unique_ptr<TEntry[]> FValues;  // by position in the template's slot table (SlotCount long)
  mutable ISlotLayout FLayout;                // the layout FValues follows
  IFactTemplate FTemplate;
  // The match hash in the low 63 bits (0 until computed; its top bit is always clear), and HouseHashKept
  // once FValuesHash is computed too. Both are dropped together when a value changes.
  static constexpr uint64_t HouseHashKept = uint64_t{1} << 63;
  mutable uint64_t FMatchHash = 0;
  IFactOrigin FOrigin;
};

inline IFact TIEValue::GetAsFact() const { return StaticRefCast<TFact>(GetAsFactBase()); }

}  // namespace rulecraft
