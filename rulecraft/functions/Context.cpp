#include "rulecraft/functions/Context.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <utility>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/FactSlot.h"
#include "rulecraft/facts/FactTemplate.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/FunctionEngine.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/types/DefinedType.h"

namespace rulecraft {

namespace {

/// Multifields nested deeper than this are refused by ExpandList and FlattenList (a list may hold itself).
constexpr int MaxListNesting = 1000;
/// Frames kept for reuse by one root context; a deeper recursion makes the rest fresh and frees them.
constexpr size_t MaxPooledFrames = 256;
/// How many of the most recently pooled frames a new frame looks at for one made for its layout.
constexpr size_t FrameSearch = 16;
/// Variables recorded per layout at most; a body with more finds the rest by name.
constexpr size_t MaxRecordedVariables = 4096;

/// Numbers layouts, so a pooled frame knows whether its slots were made for the layout it is given.
std::atomic<uint64_t> LayoutSerials{0};

}  // namespace

// ---- TFrameLayout ----------------------------------------------------------------------------------------

TFrameLayout::TFrameLayout(const std::vector<std::string>& Names)
    : FSerial(LayoutSerials.fetch_add(1, std::memory_order_relaxed) + 1) {
  Grow();
  for (const std::string& Name : Names) Add(Name);
}

int32_t TFrameLayout::IndexOf(const std::string& Name) const noexcept {
  for (size_t I = 0; I < FNames.size(); ++I)
    if (FNames[I] == Name) return static_cast<int32_t>(I);
  return -1;
}

int32_t TFrameLayout::Add(const std::string& Name) {
  const int32_t Index = IndexOf(Name);
  if (Index >= 0) return Index;
  FNames.push_back(Name);
  // Variables recorded before the name had a slot take it now.
  for (TEntry& E : FTable)
    if (E.Key && E.Slot < 0 && E.Key->Text() == Name) E.Slot = Count() - 1;
  return Count() - 1;
}

void TFrameLayout::Grow() {
  std::vector<TEntry> Old;
  Old.swap(FTable);
  FTable.resize(Old.empty() ? 16 : Old.size() * 2);
  FMask = FTable.size() - 1;
  FShift = Old.empty() ? 60 : FShift - 1;
  for (const TEntry& E : Old) {
    if (!E.Key) continue;
    size_t I = Home(E.Key);
    while (FTable[I].Key) I = (I + 1) & FMask;
    FTable[I] = E;
  }
}

void TFrameLayout::Record(const IIEValue& Variable) {
  if (FHeld.size() >= MaxRecordedVariables) return;
  if ((FHeld.size() + 1) * 2 > FTable.size()) Grow();
  size_t I = Home(Variable.get());
  while (FTable[I].Key) {
    if (FTable[I].Key == Variable.get()) return;
    I = (I + 1) & FMask;
  }
  FTable[I] = TEntry{Variable.get(), IndexOf(Variable->Text())};
  FHeld.push_back(Variable);
}

void TFrameLayout::AddVariables(const IIEValue& Value, bool NewSlots) {
  // Iterative: calls and lists nest as deeply as the input makes them.
  std::vector<IIEValue> Pending{Value};
  size_t Visited = 0;
  while (!Pending.empty() && Visited < MaxRecordedVariables * 4) {
    ++Visited;
    const IIEValue Item = std::move(Pending.back());
    Pending.pop_back();
    if (!Item) continue;
    switch (Item->GetDType()) {
      case dtVariable:
      case dtMultiVariable:
        if (NewSlots) Add(Item->Text());
        Record(Item);
        break;
      case dtFunCall:
        if (const IFunCall Call = Item->GetAsFunCall())
          for (const IIEValue& Argument : Call->GetArguments()) Pending.push_back(Argument);
        break;
      case dtList:
        if (const IValueVector List = Item->GetAsList())
          for (const IIEValue& Element : List->Values()) Pending.push_back(Element);
        break;
      default:
        break;
    }
  }
}

// ---- TBindings -------------------------------------------------------------------------------------------

TBindings::~TBindings() = default;

std::vector<TBindings::TEntry>::iterator TBindings::Find(const std::string& Name) noexcept {
  return std::find_if(FItems.begin(), FItems.end(), [&Name](const TEntry& E) { return E.Name == Name; });
}

void TBindings::Notify(TBinding* Binding, TTableNotification Action) {
  if (FOwner) FOwner->Notify(Binding, Action);
}

TBinding* TBindings::Add(std::unique_ptr<TBinding> Binding) {
  if (!Binding) return nullptr;
  const std::string Name = Binding->GetName();
  return Put(Name, std::move(Binding));
}

TBinding* TBindings::Put(const std::string& Name, std::unique_ptr<TBinding> Binding) {
  if (!Binding) {
    Remove(Name);
    return nullptr;
  }
  TBinding* Added = Binding.get();
  auto It = Find(Name);
  if (It != FItems.end()) {
    // The new binding takes the old one's place; the old one is reported and freed first.
    std::unique_ptr<TBinding> Old = std::move(It->Binding);
    It->Binding = std::move(Binding);
    Notify(Old.get(), tnDeleted);
  } else {
    FItems.push_back(TEntry{Name, std::move(Binding)});
  }
  Notify(Added, tnAdded);
  return Added;
}

TBinding* TBindings::Get(const std::string& Name) const noexcept {
  for (const TEntry& E : FItems)
    if (E.Name == Name) return E.Binding.get();
  return nullptr;
}

TBinding* TBindings::GetItemByIndex(int32_t Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FItems[static_cast<size_t>(Index)].Binding.get();
}

void TBindings::Remove(const std::string& Name) {
  auto It = Find(Name);
  if (It == FItems.end()) return;
  std::unique_ptr<TBinding> Old = std::move(It->Binding);
  FItems.erase(It);
  Notify(Old.get(), tnDeleted);
}

void TBindings::SetItem(const std::string& Name, std::unique_ptr<TBinding> Binding) {
  Put(Name, std::move(Binding));
}

void TBindings::Clear() {
  std::vector<TEntry> Old;
  Old.swap(FItems);
  Old.clear();
  Notify(nullptr, tnCleared);
}

// ---- TIEContext ------------------------------------------------------------------------------------------

TIEContext::TIEContext(TIEContext* Parent, IFunctionEngine* Engine)
    : FEngine(Engine), FBindings(this), FParent(Parent), FRoot(Parent ? Parent->FRoot : this) {}

TIEContext::~TIEContext() = default;

std::unique_ptr<TIEContext> TIEContext::Push() {
  auto Child = std::make_unique<TIEContext>(this, FEngine);
  Child->FToken = FToken;
  Child->FFact = FFact;
  return Child;
}

TFrame TIEContext::PushFrame(const IFrameLayout& Layout) {
  std::vector<std::unique_ptr<TIEContext>>& Pool = FRoot->FFreeFrames;
  TFrame Frame;
  // Prefer a frame last made for this layout, among the most recently pooled ones: its slots already carry
  // the layout's names. Without one, a new frame is made while the pool is small, so firings of a few rules
  // in turn each find their own; otherwise the most recent frame takes this layout's names.
  const size_t Count = Pool.size();
  const size_t Stop = Count > FrameSearch ? Count - FrameSearch : 0;
  size_t Found = Count;
  for (size_t I = Count; I > Stop; --I) {
    const TIEContext* C = Pool[I - 1].get();
    if (C->FSlotsFor == Layout.get() && C->FSlotsSerial == Layout->GetSerial()) {
      Found = I - 1;
      break;
    }
  }
  if (Found == Count && Count > 0 && Count >= FrameSearch) Found = Count - 1;
  if (Found == Count) {
    // The pool's room is taken once, here, so that giving a frame back never allocates (and so never
    // fails) while the pool is not full.
    if (Pool.capacity() < MaxPooledFrames) Pool.reserve(MaxPooledFrames);
    Frame.reset(new TIEContext(this, FEngine));
  } else {
    Frame.reset(Pool[Found].release());
    if (Found != Count - 1) Pool[Found] = std::move(Pool.back());
    Pool.pop_back();
    Frame->FEngine = FEngine;
    Frame->FParent = this;
    Frame->FRoot = FRoot;
  }
  Frame->FToken = FToken;
  Frame->FFact = FFact;
  Frame->TakeLayout(Layout);
  return Frame;
}

void TIEContext::TakeLayout(const IFrameLayout& Layout) {
  FLayout = Layout;
  if (!Layout) return;
  const size_t Count = static_cast<size_t>(Layout->Count());
  if (FSlotsFor != Layout.get() || FSlotsSerial != Layout->GetSerial() || FSlots.size() < Count) {
    // Slots made for another layout take this one's names; their objects are kept.
    while (FSlots.size() < Count) FSlots.push_back(std::make_unique<TBinding>(std::string(), IIEValue()));
    for (size_t I = 0; I < Count; ++I) {
      TBinding& Slot = *FSlots[I];
      if (Slot.GetName() != Layout->GetName(static_cast<int32_t>(I)))
        Slot.SetName(Layout->GetName(static_cast<int32_t>(I)));
    }
    FSlotsFor = Layout.get();
    FSlotsSerial = Layout->GetSerial();
  }
  FBound.assign(Count, 0);
}

void TIEContext::Recycle() noexcept {
  FReturn = false;
  FReturnValue = nullptr;
  FToken = nullptr;
  FFact = nullptr;
  for (size_t I = 0; I < FBound.size(); ++I) {
    if (!FBound[I]) continue;
    FBound[I] = 0;
    TBinding& Slot = *FSlots[I];
    Slot.SetValue(IIEValue());
    if (Slot.GetFactIndex() != LocalBindingIndex) MakeLocal(Slot);
  }
  FBound.clear();
  if (!FBindings.Empty()) FBindings.Clear();
  FLayout = nullptr;
  FParent = nullptr;
}

void TFrameRelease::operator()(TIEContext* Frame) const noexcept {
  TIEContext* Root = Frame->FRoot;
  Frame->Recycle();
  if (Root && Root != Frame && Root->FFreeFrames.size() < MaxPooledFrames) {
    try {
      Root->FFreeFrames.emplace_back(Frame);
      return;
    } catch (...) {
      // No room to keep it: freed below.
    }
  }
  delete Frame;
}

TIEContext* TIEContext::Pop() {
  if (!FParent) return this;
  FParent->FReturn = FReturn;
  FParent->FReturnValue = FReturnValue;
  return FParent;
}

TBinding* TIEContext::FindOwnBinding(const std::string& Name) const {
  if (FLayout)
    if (TBinding* B = BoundSlot(FLayout->IndexOf(Name))) return B;
  return !FBindings.Empty() ? FBindings.Get(Name) : nullptr;
}

TBinding* TIEContext::FindBinding(const std::string& Name) const {
  for (const TIEContext* C = this; C; C = C->FParent)
    if (TBinding* B = C->FindOwnBinding(Name)) return B;
  return nullptr;
}

std::vector<TBinding*> TIEContext::GetOwnBindings() const {
  std::vector<TBinding*> Result;
  for (size_t I = 0; I < FBound.size(); ++I)
    if (FBound[I]) Result.push_back(FSlots[I].get());
  for (int32_t I = 0; I < FBindings.Count(); ++I) Result.push_back(FBindings.GetItemByIndex(I));
  return Result;
}

bool TIEContext::RemoveOwnBinding(const std::string& Name) {
  bool Removed = false;
  if (FLayout) {
    const int32_t Slot = FLayout->IndexOf(Name);
    if (BoundSlot(Slot)) {
      FBound[static_cast<size_t>(Slot)] = 0;
      FSlots[static_cast<size_t>(Slot)]->SetValue(IIEValue());
      Removed = true;
    }
  }
  if (FBindings.Count() > 0 && FBindings.Get(Name)) {
    FBindings.Remove(Name);
    Removed = true;
  }
  return Removed;
}

void TIEContext::RaiseNoSlot(int32_t Slot) {
  throw EListError("List index out of bounds (" + std::to_string(Slot) + ")");
}

void TIEContext::MakeLocal(TBinding& Binding) {
  Binding.SetFactIndex(LocalBindingIndex);
  Binding.SetSlotIndex(SLocalBinding);
  Binding.SetSubIndex(NoSubIndex);
}

TBinding* TIEContext::FindGlobalBinding(const std::string& Name) const { return FRoot->FindOwnBinding(Name); }

IIEValue TIEContext::GetVariable(const std::string& Name) const {
  TBinding* B = FindBinding(Name);
  if (!B) throw EIEException(SUnknownVariable, {Name});
  return B->GetValue();
}

void TIEContext::SetVariable(const std::string& Name, const IIEValue& Value) {
  if (TBinding* B = FindOwnBinding(Name))
    B->SetValue(Value);
  else
    AddBinding(Name, Value);
}

void TIEContext::SetVariable(const TIEValue& Variable, const IIEValue& Value) {
  if (TBinding* B = FindVariable(Variable)) {
    // The nearest binding: this context's own, or the outer one a new local would not shadow.
    B->SetValue(Value);
    return;
  }
  const int32_t Slot = FLayout ? FLayout->SlotOf(Variable) : -1;
  if (Slot >= 0)
    BindSlot(Slot, Value);
  else
    FBindings.Add(std::make_unique<TBinding>(Variable.Text(), Value));
}

TBinding* TIEContext::AddBinding(const std::string& Name, const IIEValue& Value) {
  if (TBinding* B = FindBinding(Name)) {
    B->SetValue(Value);
    return B;
  }
  return AddLocalBinding(Name, Value);
}

TBinding* TIEContext::AddBinding(const std::string& Name, int32_t FactIndex, const std::string& SlotIndex,
                                 int32_t SubIndex) {
  for (TIEContext* C = this; C; C = C->FParent)
    if (C->RemoveOwnBinding(Name)) break;
  return FBindings.Add(std::make_unique<TBinding>(Name, FactIndex, SlotIndex, SubIndex));
}

TBinding* TIEContext::AddLocalBinding(const std::string& Name, const IIEValue& Value) {
  const int32_t Slot = FLayout ? FLayout->IndexOf(Name) : -1;
  if (Slot < 0) return FBindings.Add(std::make_unique<TBinding>(Name, Value));
  if (!FBindings.Empty()) FBindings.Remove(Name);
  BindSlot(Slot, Value);
  return FSlots[static_cast<size_t>(Slot)].get();
}

TBinding* TIEContext::AddGlobalBinding(const std::string& Name, const IIEValue& Value) {
  TIEContext* R = Root();
  if (TBinding* B = R->FindOwnBinding(Name)) {
    B->SetValue(Value);
    return B;
  }
  return R->AddLocalBinding(Name, Value);
}

void TIEContext::SetReturnValue(const IIEValue& Value) {
  FReturnValue = Value;
  FReturn = true;
}

void TIEContext::ClearReturnValue() noexcept {
  FReturn = false;
  FReturnValue = nullptr;
}

void TIEContext::Clear() {
  for (size_t I = 0; I < FBound.size(); ++I)
    if (FBound[I]) {
      FBound[I] = 0;
      FSlots[I]->SetValue(IIEValue());
    }
  FBindings.Clear();
}

void TIEContext::Notify(TBinding* Binding, TTableNotification Action) {
  (void)Binding;
  if (Action == tnCleared) ClearReturnValue();
}

void TIEContext::Assign(const TPersistent* Source) {
  const auto* Other = dynamic_cast<const TIEContext*>(Source);
  if (!Other) {
    TPersistent::Assign(Source);
    return;
  }
  if (Other == this) return;
  FReturn = Other->FReturn;
  FReturnValue = Other->FReturnValue ? Other->FReturnValue->Clone() : IIEValue();
}

// ---- multifields -----------------------------------------------------------------------------------------

void TIEContext::Expand(const IValueVector& List, TValueVector& Into, bool ResolveElements, int Depth) {
  if (!List) return;
  if (Depth > MaxListNesting) throw EIEException(SListNestingTooDeep, {MaxListNesting});
  // Work on a snapshot of the handles: resolving an element may run a call that edits the list.
  const std::vector<IIEValue> Elements = List->Values();
  for (const IIEValue& Element : Elements) {
    IIEValue Value = Element;
    if (Element && ResolveElements) Element->Resolve(this, Value);
    if (Value && Value->GetDType() == dtList)
      Expand(Value->GetAsList(), Into, ResolveElements, Depth + 1);
    else
      Into.Add(Value);
  }
}

IValueVector TIEContext::ExpandList(const IValueVector& List) {
  IValueVector Result = MakeRef<TValueVector>();
  Expand(List, *Result, true, 0);
  return Result;
}

IValueVector TIEContext::FlattenList(const IValueVector& List) {
  IValueVector Result = MakeRef<TValueVector>();
  Expand(List, *Result, false, 0);
  return Result;
}

// ---- facts -----------------------------------------------------------------------------------------------

namespace {

// A multifield of fuzzy values only (the empty one included).
bool IsFuzzyList(const IIEValue& Value) {
  if (!Value || Value->GetDType() != dtList) return false;
  const IValueVector List = Value->GetAsList();
  if (!List) return false;
  for (int32_t I = 0; I < List->GetValueCount(); ++I)
    if (!List->Get(I) || List->Get(I)->GetDType() != dtFuzzy) return false;
  return true;
}

/// A fuzzy value whose set belongs to no variable as a new value holding a copy of the set given the slot's
/// variable: the set may be shared with a global, a binding or a constant of a rule, which keep theirs.
IIEValue AttachVariable(const IIEValue& Value, TIFuzzyVariable* Variable) {
  const IFuzzySet Set = Value && Value->GetDType() == dtFuzzy ? Value->GetAsFuzzy() : IFuzzySet();
  if (!Variable || !Set || Set->GetVariable()) return Value;
  IFuzzySet Copy = Set->Clone();
  Copy->SetVariable(Variable);
  return MakeRef<TIEValue>(Copy);
}

// Whether a record's slot name stands for the whole fact (its length tested first: a slot name rarely has
// it).
bool IsPatternBinding(const std::string& Slot) noexcept {
  static constexpr size_t Length = std::char_traits<char>::length(SPatternBinding);
  return Slot.size() == Length && Slot == SPatternBinding;
}

}  // namespace

IFact TIEContext::Resolve(const IFact& Fact) {
  if (!Fact || !Fact->GetTemplate()) return Fact;
  const IFactTemplate Template = Fact->GetTemplate();
  const bool Fuzzy = Template->IsFuzzy();
  // The slots as they are now. The calls evaluated below run host code, which may change the template: from
  // then on each slot of this layout is found again by name.
  const ISlotLayout Layout = Template->GetLayout();
  for (size_t I = 0; I < Layout->Names.size(); ++I) {
    const std::string& Name = Layout->Names[I];
    const bool Same = Template->GetLayout() == Layout;
    const IIEValue Current = Same ? Fact->ValueAt(I) : Fact->GetValue(Name);
    const IFactSlot* Found = Same ? &Template->GetSlots()[I].Slot : Template->FindSlot(Name);
    if (!Found) throw EIEException(SNoSuchSlot, {Name});
    const IFactSlot Slot = *Found;
    IIEValue Value;
    if (Current) Current->Resolve(this, Value);
    if (!Value) Value = FCNil;
    const TIETypes Kinds = Slot->GetSlotType();
    if (Fuzzy && Kinds.Contains(dtFuzzy)) {
      const IIEDefinedType& Type = Slot->GetExtendedTypeInfo();
      TIFuzzyVariable* Variable = Type ? Type->GetFuzzyType().get() : nullptr;
      const bool Multi = Kinds.Contains(dtList);
      // A single slot takes one fuzzy value, also given as a multifield holding just that value.
      if (!Multi && IsFuzzyList(Value) && Value->GetAsList()->GetValueCount() == 1)
        Value = Value->GetAsList()->Get(0);
      if (Multi ? IsFuzzyList(Value) : Value->GetDType() == dtFuzzy) {
        if (Multi) {
          const IValueVector List = Value->GetAsList();
          IValueVector Attached = MakeRef<TValueVector>();
          for (int32_t Item = 0; Item < List->GetValueCount(); ++Item)
            Attached->Add(AttachVariable(List->Get(Item), Variable));
          Value = MakeRef<TIEValue>(Attached);
        } else {
          Value = AttachVariable(Value, Variable);
        }
      } else {
        if (!Variable) throw EIEException(std::string(SUndefinedFuzzyVariable));
        if (!FEngine) throw EIEException(std::string(SUnknownEngine));
        if (Multi) {
          // A multislot may hold several expressions: one fuzzy value each.
          Value = FEngine->EvalFuzzyValue(Variable, Value, this);
        } else {
          const IFuzzySet Set = FEngine->EvalFuzzyExpression(Variable, Value, this);
          if (!Set) throw EIEException(SInvalidFuzzyExpression, {Value->GetToString()});
          Value = MakeRef<TIEValue>(Set);
        }
      }
    } else if (Value->GetDType() == dtList) {
      // A new list: the list object resolved may be a rule's own argument, which must stay as written.
      Value = MakeRef<TIEValue>(ExpandList(Value->GetAsList()));
    }
    if (Template->GetLayout() == Layout)
      Fact->SetValueAt(I, Value);
    else
      Fact->SetValue(Name, Value);
  }
  return Fact;
}

namespace {

// The value Record stands for in Fact, read in place: PeekRecordIn, inline in PeekBindingRecord.
inline const TIEValue* PeekInFact(TFact* Fact, const TBindingInfo& Record) {
  if (!Fact || !Fact->GetTemplate()) return nullptr;
  const std::string& Slot = Record.GetSlotIndex();
  if (IsPatternBinding(Slot)) return nullptr;
  const IIEValue* Found = Fact->SlotValueSeen(Slot, Record.LayoutSeen(), Record.PositionSeen());
  if (!Found || !*Found) return nullptr;
  const int32_t Sub = Record.GetSubIndex();
  if (Sub == NoSubIndex) return Found->get();
  const TValueVector* List = (*Found)->GetListObject();
  if (!List || Sub < 0 || Sub >= List->GetValueCount()) return nullptr;
  return List->Get(Sub).get();
}

}  // namespace

const TIEValue* TIEContext::PeekBindingRecord(const TBindingInfo& Record) {
  return PeekInFact(RecordFact(FToken.get(), FFact.get(), Record.GetFactIndex()), Record);
}

const TIEValue* PeekRecordIn(TFact* Fact, const TBindingInfo& Record) { return PeekInFact(Fact, Record); }

void TIEContext::ResolveBindingRecord(const TBindingInfo& Record, IIEValue& Result) {
  const int32_t Index = Record.GetFactIndex();
  const IFact Fact(RecordFact(FToken.get(), FFact.get(), Index));
  if (!Fact) throw EIEException(SCorruptedToken, {Index});

  const std::string& Slot = Record.GetSlotIndex();
  if (IsPatternBinding(Slot)) {
    Result = MakeRef<TIEValue>(Fact->GetID(), dtFactId);
    return;
  }
  const IIEValue* Found = Fact->SlotValueSeen(Slot, Record.LayoutSeen(), Record.PositionSeen());
  if (!Found) throw EIEException(SNoSuchSlot, {Slot});
  IIEValue Value = *Found;
  const int32_t Sub = Record.GetSubIndex();
  if (Sub == NoSubIndex) {
    Result = std::move(Value);
    return;
  }
  const IValueVector List = Value ? Value->GetAsList() : IValueVector();
  if (!List || Sub < 0 || Sub >= List->GetValueCount()) throw EIEException(SCorruptedSubIndex, {Sub, Slot});
  Result = List->Get(Sub);
}

}  // namespace rulecraft
