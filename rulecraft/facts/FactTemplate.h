#pragma once
// TFactTemplate: the deftemplate construct: a named kind of fact and its slots. Slots are always walked in
// sorted name order. A template whose only slot is the multislot "__Data" is ordered: its facts are ordered
// facts, whose whole content is the list in that slot. Held through IFactTemplate.
#include <cstdint>
#include <string>
#include <vector>

#include "rulecraft/collections/Cloneable.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/facts/FactSlot.h"
#include "rulecraft/framework/Component.h"

namespace rulecraft {

class IFactEngine;
class TFactTemplate;
using IFactTemplate = TRef<TFactTemplate>;

/// The names of a template's slots in slot order, as they stood at one time: a fact keeps the layout its
/// values follow and notices a new one when the template's slots change.
class TSlotLayout final : public TInterfacedObject {
 public:
  explicit TSlotLayout(std::vector<std::string> Names) : Names(std::move(Names)) {}
  const std::vector<std::string> Names;
};
using ISlotLayout = TRef<TSlotLayout>;

class TFactTemplate final : public ICloneable {
  RC_CLASS(TFactTemplate, ICloneable)
 public:
  /// One slot of the table, under the name it is filed by.
  struct TSlotEntry {
    std::string Name;
    IFactSlot Slot;
  };

  explicit TFactTemplate(TComponent* Owner = nullptr);
  /// The name is set as given (no character check, no rename notice).
  TFactTemplate(TComponent* Owner, const std::string& Name);
  /// Starts with copies of Parent's slots; Parent is recorded only when it has the same owner.
  TFactTemplate(TComponent* Owner, const std::string& Name, const std::string& Comment,
                const IFactTemplate& Parent);
  ~TFactTemplate() override;

  // ICloneable
  using ICloneable::Assign;
  /// From another template: its parent (unless another owner's) and copies of its slots.
  void Assign(const TPersistent* Source) override;
  /// From another template: backward chaining, comment, name, parent, slots (re-read through the owning
  /// engine when there is one), caches and ordered flag.
  void Assign(const ICloneableRef& Source) override;
  ICloneableRef CloneInterface() const override { return Clone(); }
  /// A new template of the same owner (named "<name> Copy" when the owner is an engine) assigned from this.
  IFactTemplate Clone() const;
  IFactTemplate Clone(TComponent* Owner) const;
  /// Same name and ordered flag, and every slot of this template equal to the other's slot of that name.
  bool Equals(const ICloneable* Other) const override;
  int32_t GetTag() const override { return FTag; }
  void SetTag(int32_t Value) override { FTag = Value; }

  /// Replaces the slots by slots re-read from the text of Source's slots (copies without an engine).
  void AssignSlots(const TFactTemplate& Source);
  bool IsBackwardChaining() const noexcept { return FBackwardChaining; }
  void SetBackwardChaining(bool Value) noexcept { FBackwardChaining = Value; }
  bool IsOrdered() const noexcept { return FOrdered; }
  /// Fills every slot of Fact with its default (dynamic defaults evaluated anew).
  void FillFactWithDefaults(TFact& Fact) const;
  /// A new fact of this template filled with defaults.
  IFact NewFact();
  const std::string& GetComment() const noexcept { return FComment; }
  void SetComment(const std::string& Value) { FComment = Value; }
  int32_t GetHashCode() const;
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }
  TComponent* GetOwner() const noexcept { return FOwner; }
  /// The owner as an engine, or nullptr (also once that engine is gone).
  IFactEngine* GetEngine() const noexcept { return FEngine; }
  /// Called by the owning engine as it goes: the template, and the facts of it a host still holds, print
  /// and compare on their own from now on.
  void ForgetEngine() noexcept {
    FEngine = nullptr;
    FOwner = nullptr;
  }
  const IFactTemplate& GetParent() const noexcept { return FParent; }
  void SetParent(const IFactTemplate& Value) { FParent = Value; }
  int32_t GetSlotCount() const noexcept { return static_cast<int32_t>(FSlots.size()); }
  /// The slot of that name; raises "No such slot name: "%s"" when there is none.
  const IFactSlot& GetSlot(const std::string& Name) const;
  /// The slots in sorted name order.
  const std::vector<TSlotEntry>& GetSlots() const noexcept { return FSlots; }
  std::vector<std::string> GetSlotNames() const;
  const std::string& GetTemplateName() const noexcept { return FTemplateName; }
  /// Refuses the characters names may not hold; tells the owning engine before taking a new name.
  void SetTemplateName(const std::string& Value);
  bool IsFuzzy() const;
  /// Stores Slot under Name, which must be the slot's own name.
  void SetSlot(const std::string& Name, const IFactSlot& Slot);

  void AddMultiSlot(const std::string& Name, const IIEValue& Default);
  void AddSlot(const std::string& Name, const IIEValue& Default);
  /// Adds a copy of Slot under its name; returns the ordered flag.
  bool AddSlot(const IFactSlot& Slot);
  bool ContainsSlot(const std::string& Name) const { return FindSlot(Name) != nullptr; }
  bool ContainsSlot(const std::string& Name, IFactSlot& Slot) const;
  /// The first slot whose defined type is that very type or an implicit copy narrowing it, or nil.
  IFactSlot ContainsType(const IIEDefinedType& DefinedType) const;
  void RemoveSlot(const std::string& Name);
  void ClearSlots();

  /// The slot of that name, or nullptr (no error, no copy of the handle).
  const IFactSlot* FindSlot(const std::string& Name) const noexcept;
  /// The position of the slot of that name in GetSlots, or -1.
  int32_t IndexOfSlot(const std::string& Name) const noexcept;
  /// The current slot layout; a new object whenever slots are added, removed or renamed.
  const ISlotLayout& GetLayout() const {
    if (!FLayout) MakeLayout();
    return FLayout;
  }

 private:
  friend class TFactSlot;
  // Notifications from this template's slots.
  void NewSlotName(TFactSlot& Slot, const std::string& NewName);
  void NewSlotDefault(TFactSlot& Slot, IIEValue& Default);
  void NewSlotType(TFactSlot& Slot, TIETypes Types);

  void UpdateOrdered() noexcept;
  void MakeLayout() const;
  void SetFactSlots(const std::vector<TSlotEntry>& Slots);
  std::vector<TSlotEntry>::iterator Position(const std::string& Name);
  std::vector<TSlotEntry>::const_iterator Position(const std::string& Name) const;
  void DetachSlot(const IFactSlot& Slot) noexcept;

  bool FBackwardChaining = false;
  IFactTemplate FParent;
  std::string FComment;
  std::vector<TSlotEntry> FSlots;  // sorted by name
  std::string FTemplateName;
  bool FOrdered = false;
  TComponent* FOwner = nullptr;
  IFactEngine* FEngine = nullptr;
  int32_t FTag = 0;
  mutable bool FFuzzyDirty = true;
  mutable bool FFuzzy = false;
  mutable bool FHashDirty = true;
  mutable int32_t FHash = 0;
  mutable ISlotLayout FLayout;  // made on demand, dropped when the slot names change
};

/// Slot names sort ignoring case first, then by their exact bytes, so names differing only in case are
/// distinct slots with a stable order.
bool SlotNameLess(const std::string& A, const std::string& B) noexcept;

}  // namespace rulecraft
