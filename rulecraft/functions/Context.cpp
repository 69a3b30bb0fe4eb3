#include "rulecraft/functions/Context.h"

#include <algorithm>
#include <utility>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/FactSlot.h"
#include "rulecraft/facts/FactTemplate.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/FunctionEngine.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/types/DefinedType.h"

namespace rulecraft {

namespace {

/// Multifields nested deeper than this are refused by ExpandList and FlattenList (a list may hold itself).
constexpr int MaxListNesting = 1000;
/// A binding record whose element position lies outside the slot's multifield.

}  // namespace

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
    : FEngine(Engine), FBindings(this), FParent(Parent) {}

TIEContext::~TIEContext() = default;

TIEContext* TIEContext::Root() noexcept {
  TIEContext* C = this;
  while (C->FParent) C = C->FParent;
  return C;
}

const TIEContext* TIEContext::Root() const noexcept {
  const TIEContext* C = this;
  while (C->FParent) C = C->FParent;
  return C;
}

std::unique_ptr<TIEContext> TIEContext::Push() {
  auto Child = std::make_unique<TIEContext>(this, FEngine);
  Child->FToken = FToken;
  Child->FFact = FFact;
  return Child;
}

TIEContext* TIEContext::Pop() {
  if (!FParent) return this;
  FParent->FReturn = FReturn;
  FParent->FReturnValue = FReturnValue;
  return FParent;
}

TBinding* TIEContext::FindBinding(const std::string& Name) const {
  for (const TIEContext* C = this; C; C = C->FParent)
    if (TBinding* B = C->FBindings.Get(Name)) return B;
  return nullptr;
}

TBinding* TIEContext::FindGlobalBinding(const std::string& Name) const { return Root()->FBindings.Get(Name); }

IIEValue TIEContext::GetVariable(const std::string& Name) const {
  TBinding* B = FindBinding(Name);
  if (!B) throw EIEException(SUnknownVariable, {Name});
  return B->GetValue();
}

void TIEContext::SetVariable(const std::string& Name, const IIEValue& Value) {
  if (TBinding* B = FBindings.Get(Name))
    B->SetValue(Value);
  else
    AddBinding(Name, Value);
}

TBinding* TIEContext::AddBinding(const std::string& Name, const IIEValue& Value) {
  if (TBinding* B = FindBinding(Name)) {
    B->SetValue(Value);
    return B;
  }
  return FBindings.Add(std::make_unique<TBinding>(Name, Value));
}

TBinding* TIEContext::AddBinding(const std::string& Name, int32_t FactIndex, const std::string& SlotIndex,
                                 int32_t SubIndex) {
  for (TIEContext* C = this; C; C = C->FParent) {
    if (C->FBindings.Get(Name)) {
      C->FBindings.Remove(Name);
      break;
    }
  }
  return FBindings.Add(std::make_unique<TBinding>(Name, FactIndex, SlotIndex, SubIndex));
}

TBinding* TIEContext::AddLocalBinding(const std::string& Name, const IIEValue& Value) {
  return FBindings.Add(std::make_unique<TBinding>(Name, Value));
}

TBinding* TIEContext::AddGlobalBinding(const std::string& Name, const IIEValue& Value) {
  TIEContext* R = Root();
  if (TBinding* B = R->FBindings.Get(Name)) {
    B->SetValue(Value);
    return B;
  }
  return R->FBindings.Add(std::make_unique<TBinding>(Name, Value));
}

void TIEContext::SetReturnValue(const IIEValue& Value) {
  FReturnValue = Value;
  FReturn = true;
}

void TIEContext::ClearReturnValue() noexcept {
  FReturn = false;
  FReturnValue = nullptr;
}

void TIEContext::Clear() { FBindings.Clear(); }

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

bool IsFuzzyValue(const IIEValue& Value) {
  if (!Value) return false;
  if (Value->GetDType() == dtFuzzy) return true;
  if (Value->GetDType() != dtList) return false;
  const IValueVector List = Value->GetAsList();
  return List && List->GetValueCount() == 1 && List->Get(0) && List->Get(0)->GetDType() == dtFuzzy;
}

/// Gives a fuzzy value whose set belongs to no variable the slot's variable.
void AttachVariable(const IIEValue& Value, TIFuzzyVariable* Variable) {
  if (!Variable || !Value) return;
  IIEValue Fuzzy = Value;
  if (Value->GetDType() == dtList) Fuzzy = Value->GetAsList()->Get(0);
  const IFuzzySet Set = Fuzzy->GetAsFuzzy();
  if (Set && !Set->GetVariable()) Set->SetVariable(Variable);
}

}  // namespace

IFact TIEContext::Resolve(const IFact& Fact) {
  if (!Fact || !Fact->GetTemplate()) return Fact;
  const IFactTemplate Template = Fact->GetTemplate();
  const bool Fuzzy = Template->IsFuzzy();
  // A snapshot of the slots: the calls evaluated below run host code.
  const std::vector<TFactTemplate::TSlotEntry> Slots = Template->GetSlots();
  for (const TFactTemplate::TSlotEntry& Entry : Slots) {
    const IFactSlot& Slot = Entry.Slot;
    const IIEValue Current = Fact->GetValue(Entry.Name);
    IIEValue Value;
    if (Current) Current->Resolve(this, Value);
    if (!Value) Value = FCNil;
    const TIETypes Kinds = Slot->GetSlotType();
    if (Fuzzy && Kinds.Contains(dtFuzzy)) {
      const IIEDefinedType& Type = Slot->GetExtendedTypeInfo();
      TIFuzzyVariable* Variable = Type ? Type->GetFuzzyType().get() : nullptr;
      if (!IsFuzzyValue(Value)) {
        if (!Variable) throw EIEException(std::string(SUndefinedFuzzyVariable));
        if (!FEngine) throw EIEException(std::string(SUnknownEngine));
        const IFuzzySet Set = FEngine->EvalFuzzyExpression(Variable, Value, this);
        if (!Set) throw EIEException(SInvalidFuzzyExpression, {Value->GetToString()});
        Value = MakeRef<TIEValue>(Set);
        if (Kinds.Contains(dtList))
          Value = MakeRef<TIEValue>(MakeRef<TValueVector>(std::vector<IIEValue>{Value}));
      } else {
        AttachVariable(Value, Variable);
      }
    } else if (Value->GetDType() == dtList) {
      // A new list: the list object resolved may be a rule's own argument, which must stay as written.
      Value = MakeRef<TIEValue>(ExpandList(Value->GetAsList()));
    }
    Fact->SetValue(Entry.Name, Value);
  }
  return Fact;
}

void TIEContext::ResolveBindingRecord(const TBindingInfo& Record, IIEValue& Result) {
  const int32_t Index = Record.GetFactIndex();
  const int32_t Count = FToken ? FToken->GetCount() : 0;
  IFact Fact;
  if (FToken && Index >= 0 && Index < Count)
    Fact = FToken->GetFacts(Index);
  else if (Index == Count && FFact)
    Fact = FFact;
  if (!Fact) throw EIEException(SCorruptedToken, {Index});

  const std::string& Slot = Record.GetSlotIndex();
  if (Slot == SPatternBinding) {
    Result = MakeRef<TIEValue>(Fact->GetID(), dtFactId);
    return;
  }
  IIEValue Value = Fact->GetValue(Slot);
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
