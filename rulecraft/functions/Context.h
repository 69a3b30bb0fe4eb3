#pragma once
// TIEContext: a scope of variable bindings in a chain of scopes. The engine's root context holds the global
// variables; every rule firing and every call of a function written in the rule language pushes a child
// for its local variables. A context also carries a pending return value and the partial match (Token) and
// fact that rule-side expressions read their variables from.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/core/Binding.h"
#include "rulecraft/core/ResolveContext.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/functions/TokenBase.h"

namespace rulecraft {

class IFunctionEngine;
class TIEContext;

enum TTableNotification : uint8_t { tnAdded, tnDeleted, tnCleared };

/// The binding table of one context: names to bindings, owned. A small flat table: contexts are created for
/// every firing and call, and hold a handful of variables.
class TBindings {
 public:
  explicit TBindings(TIEContext* Owner) noexcept : FOwner(Owner) {}
  TBindings(const TBindings&) = delete;
  TBindings& operator=(const TBindings&) = delete;
  ~TBindings();

  /// Stores Binding under its name, replacing (and freeing) a binding of that name; returns it.
  TBinding* Add(std::unique_ptr<TBinding> Binding);
  TBinding* Put(const std::string& Name, std::unique_ptr<TBinding> Binding);
  /// The binding of that name, or nullptr.
  TBinding* Get(const std::string& Name) const noexcept;
  TBinding* GetItem(const std::string& Name) const noexcept { return Get(Name); }
  TBinding* GetItemByIndex(int32_t Index) const;
  int32_t Count() const noexcept { return static_cast<int32_t>(FItems.size()); }
  bool Empty() const noexcept { return FItems.empty(); }
  /// Removes and frees the binding of that name (nothing when absent).
  void Remove(const std::string& Name);
  /// Stores Binding under Name; nullptr removes the entry.
  void SetItem(const std::string& Name, std::unique_ptr<TBinding> Binding);
  /// Frees every binding and reports tnCleared once.
  void Clear();

 private:
  struct TEntry {
    std::string Name;
    std::unique_ptr<TBinding> Binding;
  };

  std::vector<TEntry>::iterator Find(const std::string& Name) noexcept;
  void Notify(TBinding* Binding, TTableNotification Action);

  TIEContext* FOwner;
  std::vector<TEntry> FItems;
};

/// The variables of one rule or deffunction, numbered when it is compiled: a frame made for a firing or a
/// call holds one binding per name, bound or not, so reading or binding one of them needs no search by name.
/// The variables written in the rule's actions or the function's body are recorded with their slot, so the
/// context finds a variable it is asked to resolve by the variable itself. A layout is not changed once a
/// frame uses it; a changed rule or function builds a new one.
class TFrameLayout final : public TInterfacedObject {
  RC_CLASS(TFrameLayout, TInterfacedObject)
 public:
  /// The slots are Names in order (a repeated name keeps its first slot).
  explicit TFrameLayout(const std::vector<std::string>& Names);

  int32_t Count() const noexcept { return static_cast<int32_t>(FNames.size()); }
  const std::string& GetName(int32_t Slot) const { return FNames[static_cast<size_t>(Slot)]; }
  /// The slot of Name, or -1.
  int32_t IndexOf(const std::string& Name) const noexcept;
  /// Appends the slot of Name unless it has one; returns it.
  int32_t Add(const std::string& Name);
  /// Records the variables of Value (the arguments of calls nested in it, and list elements) with their
  /// slots; with NewSlots a name without a slot gets one, otherwise it is recorded as having none.
  void AddVariables(const IIEValue& Value, bool NewSlots);
  /// The slot of a variable (its name's slot, or -1), from the record when Variable is one of the recorded
  /// variables, otherwise by its name.
  int32_t SlotOf(const TIEValue& Variable) const noexcept {
    const TEntry* Table = FTable.data();
    for (size_t I = Home(&Variable);; I = (I + 1) & FMask) {
      if (Table[I].Key == &Variable) return Table[I].Slot;
      if (!Table[I].Key) return IndexOf(Variable.Text());
    }
  }
  /// Tells layouts apart across reuse of their memory: no two layouts of the process share a serial.
  uint64_t GetSerial() const noexcept { return FSerial; }

 private:
  struct TEntry {
    const TIEValue* Key = nullptr;
    int32_t Slot = -1;
  };
  void Record(const IIEValue& Variable);
  void Grow();
  /// Where the probe for Key starts: the top bits of a multiplicative hash of its address.
  size_t Home(const void* Key) const noexcept {
    return static_cast<size_t>((reinterpret_cast<uintptr_t>(Key) * 0x9E3779B97F4A7C15ULL) >> FShift);
  }

  std::vector<std::string> FNames;
  /// Open addressing on the variable's address; the recorded variables are held, so an address is never
  /// taken over by another value while it is recorded here.
  std::vector<TEntry> FTable;
  size_t FMask = 0;
  unsigned FShift = 64;
  std::vector<IIEValue> FHeld;
  uint64_t FSerial;
};

using IFrameLayout = TRef<TFrameLayout>;

/// Returns a frame to the pool of its chain's root context.
struct TFrameRelease {
  void operator()(TIEContext* Frame) const noexcept;
};
/// A context pushed for one firing or call, with the slots of a layout; it goes back to its pool when the
/// handle goes.
using TFrame = std::unique_ptr<TIEContext, TFrameRelease>;

class TIEContext final : public TResolveContext {
  RC_CLASS(TIEContext, TResolveContext)
 public:
  /// A context whose parent is Parent (nullptr for a root context) working for Engine.
  TIEContext(TIEContext* Parent, IFunctionEngine* Engine);
  ~TIEContext() override;

  /// A new child of this context with the same engine; it starts with this context's Token and Fact, so a
  /// function called from a pattern test still sees the rule's pattern variables.
  std::unique_ptr<TIEContext> Push();
  /// A child of this context with one binding slot per name of Layout, all unbound, taken from the pool of
  /// the chain's root context (made when the pool is empty). It starts with this context's Token and Fact.
  TFrame PushFrame(const IFrameLayout& Layout);
  /// Hands a pending return on to the parent and returns the parent (this context when it has none). The
  /// caller still owns and frees this context.
  TIEContext* Pop();

  TBinding* FindBinding(const std::string& Name) const override;
  /// Inline: every variable read of a rule's actions or a function's body comes here.
  TBinding* FindVariable(const TIEValue& Variable) const override {
    for (const TIEContext* C = this; C; C = C->FParent) {
      if (const TFrameLayout* Layout = C->FLayout.get()) {
        const int32_t Slot = Layout->SlotOf(Variable);
        if (Slot >= 0 && C->FBound[static_cast<size_t>(Slot)])
          return C->FSlots[static_cast<size_t>(Slot)].get();
      }
      if (!C->FBindings.Empty())
        if (TBinding* B = C->FBindings.Get(Variable.Text())) return B;
    }
    return nullptr;
  }
  /// This context's own binding of Name (a bound slot of its layout, or an entry of its table), or nullptr.
  TBinding* FindOwnBinding(const std::string& Name) const;
  /// This context's own bindings: the bound slots in slot order, then the table's entries in their order.
  std::vector<TBinding*> GetOwnBindings() const;
  /// The binding of Name in the root context of the chain, or nullptr.
  TBinding* FindGlobalBinding(const std::string& Name) const;
  /// The value of the nearest binding of Name; raises "Unknown variable name: %s" when none binds it.
  IIEValue GetVariable(const std::string& Name) const;
  /// Replaces the value of this context's own binding of Name, or adds one (AddBinding).
  void SetVariable(const std::string& Name, const IIEValue& Value);
  /// The same for a variable as written (a slot found from the variable itself).
  void SetVariable(const TIEValue& Variable, const IIEValue& Value);
  /// Binds slot Slot of this frame's layout to Value, shadowing any outer binding of its name (a slot
  /// outside the layout raises "List index out of bounds (<n>)").
  void BindSlot(int32_t Slot, const IIEValue& Value) {
    const auto I = static_cast<size_t>(Slot);
    if (Slot < 0 || I >= FBound.size()) RaiseNoSlot(Slot);
    TBinding& Binding = *FSlots[I];
    if (Binding.GetFactIndex() != LocalBindingIndex) MakeLocal(Binding);
    Binding.SetValue(Value);
    FBound[I] = 1;
  }
  /// Replaces the value of the nearest binding of Name wherever it is, or creates a local one here.
  TBinding* AddBinding(const std::string& Name, const IIEValue& Value);
  /// A pattern binding in this context, replacing a binding of that name wherever it is.
  TBinding* AddBinding(const std::string& Name, int32_t FactIndex, const std::string& SlotIndex,
                       int32_t SubIndex);
  /// A local binding in this context, shadowing any outer one of that name.
  TBinding* AddLocalBinding(const std::string& Name, const IIEValue& Value);
  /// Replaces or creates the binding of Name in the root context.
  TBinding* AddGlobalBinding(const std::string& Name, const IIEValue& Value);

  bool GetReturn() const noexcept { return FReturn; }
  const IIEValue& GetReturnValue() const noexcept { return FReturnValue; }
  void SetReturnValue(const IIEValue& Value);
  void ClearReturnValue() noexcept;
  /// Empties this context's binding table and unbinds its slots (and so clears its return state).
  void Clear();
  /// Told of every change of the binding table.
  void Notify(TBinding* Binding, TTableNotification Action);
  /// Copies the return flag and a clone of the return value of another context; bindings are not copied.
  void Assign(const TPersistent* Source) override;

  /// The elements of List resolved in this context, nested multifields spliced in recursively.
  IValueVector ExpandList(const IValueVector& List);
  /// The elements of List with nested multifields spliced in recursively, unresolved.
  IValueVector FlattenList(const IValueVector& List);
  /// Resolves the slot values of Fact in place (variables and calls evaluated, multifields expanded, fuzzy
  /// slot values turned into fuzzy values) and returns the same fact.
  IFact Resolve(const IFact& Fact);

  void ResolveBindingRecord(const TBindingInfo& Record, IIEValue& Result) override;
  const TIEValue* PeekBindingRecord(const TBindingInfo& Record) override;
  TIEContext* AsEvaluationContext() noexcept override { return this; }

  IFunctionEngine* GetEngine() const noexcept { return FEngine; }
  TIEContext* GetParent() const noexcept { return FParent; }
  /// The table of bindings whose names have no slot in this context's layout (all of them without one).
  const TBindings& GetBindings() const noexcept { return FBindings; }
  /// The layout of a frame, or nullptr.
  const TFrameLayout* GetLayout() const noexcept { return FLayout.get(); }
  const IFact& GetFact() const noexcept { return FFact; }
  void SetFact(const IFact& Value) { FFact = Value; }
  const ITokenBase& GetToken() const noexcept { return FToken; }
  void SetToken(const ITokenBase& Value) { FToken = Value; }

 private:
  friend struct TFrameRelease;

  TIEContext* Root() noexcept { return FRoot; }
  const TIEContext* Root() const noexcept { return FRoot; }
  void Expand(const IValueVector& List, TValueVector& Into, bool ResolveElements, int Depth);
  /// The binding of slot Slot when it is bound, or nullptr.
  TBinding* BoundSlot(int32_t Slot) const noexcept {
    const auto I = static_cast<size_t>(Slot);
    return Slot >= 0 && I < FBound.size() && FBound[I] ? FSlots[I].get() : nullptr;
  }
  [[noreturn]] static void RaiseNoSlot(int32_t Slot);
  /// Turns a slot a pattern binding took over back into a local binding.
  static void MakeLocal(TBinding& Binding);
  /// Removes this context's own binding of Name; true when there was one.
  bool RemoveOwnBinding(const std::string& Name);
  /// Gives this context Layout's slots, all unbound.
  void TakeLayout(const IFrameLayout& Layout);
  /// Unbinds and forgets everything a firing or call left, so the frame can be pooled.
  void Recycle() noexcept;

  bool FReturn = false;
  IIEValue FReturnValue;
  IFunctionEngine* FEngine;
  TBindings FBindings;
  TIEContext* FParent;
  /// The root of the chain (this context when it has no parent): it holds the globals and the frame pool.
  TIEContext* FRoot;
  IFact FFact;
  ITokenBase FToken;
  /// The frame's layout while in use; the slots keep the names of the layout they were last made for.
  IFrameLayout FLayout;
  std::vector<std::unique_ptr<TBinding>> FSlots;
  std::vector<uint8_t> FBound;
  const TFrameLayout* FSlotsFor = nullptr;
  uint64_t FSlotsSerial = 0;
  /// At the root: frames ready for reuse.
  std::vector<std::unique_ptr<TIEContext>> FFreeFrames;
};

/// The fact a binding record's pattern index names: a fact of the partial match Token, or Matched (the fact
/// being matched) at the index just past it; nullptr for any other index.
inline TFact* RecordFact(const TTokenBase* Token, TFact* Matched, int32_t Index) noexcept {
  const int32_t Count = Token ? Token->GetCount() : 0;
  if (Index >= 0 && Index < Count) return Token->GetFacts(Index).get();
  return Index == Count ? Matched : nullptr;
}

/// The value Record stands for in Fact, the fact its pattern index names (nullptr for none), read where it
/// is stored as TIEContext::PeekBindingRecord reads it; nullptr when it cannot be read so.
const TIEValue* PeekRecordIn(TFact* Fact, const TBindingInfo& Record);

}  // namespace rulecraft
