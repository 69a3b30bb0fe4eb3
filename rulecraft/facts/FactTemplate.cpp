#include "rulecraft/facts/FactTemplate.h"

#include <algorithm>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/facts/FactEngine.h"
#include "rulecraft/facts/FactPrinter.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/framework/Exception.h"

namespace rulecraft {

bool SlotNameLess(const std::string& A, const std::string& B) noexcept {
  const int Order = CompareText(A, B);
  return Order != 0 ? Order < 0 : A < B;
}

TFactTemplate::TFactTemplate(TComponent* Owner) : FOwner(Owner), FEngine(dynamic_cast<IFactEngine*>(Owner)) {
  if (FEngine) FEngine->TemplateCreated(*this);
}

TFactTemplate::TFactTemplate(TComponent* Owner, const std::string& Name) : TFactTemplate(Owner) {
  FTemplateName = Name;
}

TFactTemplate::TFactTemplate(TComponent* Owner, const std::string& Name, const std::string& Comment,
                             const IFactTemplate& Parent)
    : TFactTemplate(Owner) {
  if (Parent) {
    try {
      Assign(ICloneableRef(Parent));
    } catch (...) {
      ClearSlots();
      throw;
    }
  }
  FTemplateName = Name;
  FComment = Comment;
  FHashDirty = true;
  FParent = Parent && Parent->FOwner == Owner ? Parent : IFactTemplate();
}

TFactTemplate::~TFactTemplate() {
  if (FEngine) FEngine->TemplateDestroyed(*this);
  for (TSlotEntry& Entry : FSlots) DetachSlot(Entry.Slot);
}

// ---- slot table ------------------------------------------------------------------------------------------

std::vector<TFactTemplate::TSlotEntry>::iterator TFactTemplate::Position(const std::string& Name) {
  return std::lower_bound(FSlots.begin(), FSlots.end(), Name,
                          [](const TSlotEntry& E, const std::string& N) { return SlotNameLess(E.Name, N); });
}

std::vector<TFactTemplate::TSlotEntry>::const_iterator TFactTemplate::Position(
    const std::string& Name) const {
  return std::lower_bound(FSlots.begin(), FSlots.end(), Name,
                          [](const TSlotEntry& E, const std::string& N) { return SlotNameLess(E.Name, N); });
}

const IFactSlot* TFactTemplate::FindSlot(const std::string& Name) const noexcept {
  if (FSlots.size() <= 8) {  // small tables: exact comparisons beat the ordered search
    for (const TSlotEntry& Entry : FSlots)
      if (Entry.Name == Name) return &Entry.Slot;
    return nullptr;
  }
  auto It = Position(Name);
  return It != FSlots.end() && It->Name == Name ? &It->Slot : nullptr;
}

int32_t TFactTemplate::IndexOfSlot(const std::string& Name) const noexcept {
  if (FSlots.size() <= 8) {
    for (size_t I = 0; I < FSlots.size(); ++I)
      if (FSlots[I].Name == Name) return static_cast<int32_t>(I);
    return -1;
  }
  auto It = Position(Name);
  return It != FSlots.end() && It->Name == Name ? static_cast<int32_t>(It - FSlots.begin()) : -1;
}

void TFactTemplate::MakeLayout() const { FLayout = MakeRef<TSlotLayout>(GetSlotNames()); }

const IFactSlot& TFactTemplate::GetSlot(const std::string& Name) const {
  const IFactSlot* Slot = FindSlot(Name);
  if (!Slot) throw EIEException(SNoSuchSlot, {Name});
  return *Slot;
}

bool TFactTemplate::ContainsSlot(const std::string& Name, IFactSlot& Slot) const {
  const IFactSlot* Found = FindSlot(Name);
  if (!Found) return false;
  Slot = *Found;
  return true;
}

IFactSlot TFactTemplate::ContainsType(const IIEDefinedType& DefinedType) const {
  for (const TSlotEntry& Entry : FSlots)
    if (const IIEDefinedType& Type = Entry.Slot->GetExtendedTypeInfo(); Type && Type->Uses(DefinedType.get()))
      return Entry.Slot;
  return IFactSlot();
}

std::vector<std::string> TFactTemplate::GetSlotNames() const {
  std::vector<std::string> Names;
  Names.reserve(FSlots.size());
  for (const TSlotEntry& Entry : FSlots) Names.push_back(Entry.Name);
  return Names;
}

void TFactTemplate::DetachSlot(const IFactSlot& Slot) noexcept {
  if (Slot && Slot->FTemplate == this) Slot->FTemplate = nullptr;
}

void TFactTemplate::UpdateOrdered() noexcept {
  FOrdered = FSlots.size() < 2 && std::any_of(FSlots.begin(), FSlots.end(),
                                              [](const TSlotEntry& E) { return E.Name == SDefaultSlotName; });
}

void TFactTemplate::NewSlotName(TFactSlot& Slot, const std::string& NewName) {
  const IFactSlot Keep(&Slot);  // the table's entry may be the slot's only holder
  if (!Slot.GetName().empty()) {
    auto It = Position(Slot.GetName());
    if (It != FSlots.end() && It->Name == Slot.GetName() && It->Slot.get() == &Slot) FSlots.erase(It);
  }
  auto It = Position(NewName);
  if (It != FSlots.end() && It->Name == NewName) {
    if (It->Slot.get() != &Slot) DetachSlot(It->Slot);
    It->Slot = IFactSlot(&Slot);
  } else {
    FSlots.insert(It, TSlotEntry{NewName, IFactSlot(&Slot)});
  }
  FLayout.reset();
  FHashDirty = true;
  FFuzzyDirty = true;
  UpdateOrdered();
}

void TFactTemplate::NewSlotDefault(TFactSlot& Slot, IIEValue& Default) {
  (void)Slot;
  if (Default && Default->GetDType() == dtFunCall) Default = Default->Clone();
}

void TFactTemplate::NewSlotType(TFactSlot& Slot, TIETypes Types) {
  (void)Slot;
  (void)Types;
  FFuzzyDirty = true;
}

void TFactTemplate::SetSlot(const std::string& Name, const IFactSlot& Slot) {
  if (!Slot || Slot->GetName() != Name)
    throw EIEException(SNoIndexNameMatch, {Name, Slot ? Slot->GetName() : std::string()});
  auto It = Position(Name);
  if (It != FSlots.end() && It->Name == Name) {
    if (It->Slot != Slot) DetachSlot(It->Slot);
    It->Slot = Slot;
  } else {
    FSlots.insert(It, TSlotEntry{Name, Slot});
    FLayout.reset();
    FHashDirty = true;
  }
  FFuzzyDirty = true;
}

void TFactTemplate::AddSlot(const std::string& Name, const IIEValue& Default) {
  if (!Default) throw EIEException(std::string(SBadSlotType));
  if (Default->GetDType() == dtList) throw EIEException(SInvalidSlotDefault, {Default->GetToString()});
  if (const IFactSlot* Existing = FindSlot(Name)) {
    if ((*Existing)->IsMultiSlot()) throw EIEException(std::string(SInvalidExistingSlotChange));
    (*Existing)->SetSlotDefault(Default);
  } else {
    IFactSlot Slot = MakeRef<TFactSlot>(this);
    Slot->SetSlotType(IESlotTypes);
    Slot->SetSlotDefault(Default);
    Slot->SetName(Name);
  }
  UpdateOrdered();
}

void TFactTemplate::AddMultiSlot(const std::string& Name, const IIEValue& Default) {
  if (!Default) throw EIEException(std::string(SBadSlotType));
  if (Default->GetDType() != dtList)
    throw EIEException(SInvalidDefaultMultislotValue, {Default->GetAsString()});
  if (Trim(Name).empty()) throw EIEException(SBadSlotName, {Name});
  if (const IFactSlot* Existing = FindSlot(Name)) {
    if (!(*Existing)->IsMultiSlot()) throw EIEException(std::string(SInvalidExistingMultiSlotChange));
    (*Existing)->SetSlotDefault(Default);
  } else {
    IFactSlot Slot = MakeRef<TFactSlot>(this);
    Slot->SetSlotType(IESlotTypes + IEMultiSlotTypes);
    Slot->SetSlotDefault(Default);
    Slot->SetName(Name);
  }
  UpdateOrdered();
}

bool TFactTemplate::AddSlot(const IFactSlot& Slot) {
  IFactSlot Copy = MakeRef<TFactSlot>(this);
  Copy->Assign(Slot);
  UpdateOrdered();
  return FOrdered;
}

void TFactTemplate::RemoveSlot(const std::string& Name) {
  auto It = Position(Name);
  if (It == FSlots.end() || It->Name != Name) throw EIEException(SNoSuchSlot, {Name});
  DetachSlot(It->Slot);
  FSlots.erase(It);
  FLayout.reset();
  FHashDirty = true;
  FFuzzyDirty = true;
}

void TFactTemplate::ClearSlots() {
  for (TSlotEntry& Entry : FSlots) DetachSlot(Entry.Slot);
  FSlots.clear();
  FLayout.reset();
  FHashDirty = true;
  FFuzzyDirty = true;
}

void TFactTemplate::SetFactSlots(const std::vector<TSlotEntry>& Slots) {
  const std::vector<TSlotEntry> Source = Slots;  // Slots may be this template's own table
  ClearSlots();
  for (const TSlotEntry& Entry : Source) AddSlot(Entry.Slot);
}

// ---- names, hash, text -----------------------------------------------------------------------------------

void TFactTemplate::SetTemplateName(const std::string& Value) {
  CheckName(Value);
  if (Value == FTemplateName) return;
  if (FEngine) FEngine->ChangeFactTemplateName(FTemplateName, Value);
  FTemplateName = Value;
  FHashDirty = true;  // the name is part of the hash
}

int32_t TFactTemplate::GetHashCode() const {
  if (FHashDirty) {
    std::string Text = FTemplateName;
    for (const TSlotEntry& Entry : FSlots) {
      Text += Entry.Name;
      Text += NewLineString;
    }
    FHash = CalculateHash(Text, 1);
    FHashDirty = false;
  }
  return FHash;
}

bool TFactTemplate::IsFuzzy() const {
  if (FFuzzyDirty) {
    FFuzzy = std::any_of(FSlots.begin(), FSlots.end(), [](const TSlotEntry& E) { return E.Slot->IsFuzzy(); });
    FFuzzyDirty = false;
  }
  return FFuzzy;
}

std::string TFactTemplate::GetToString() const {
  return FEngine ? FEngine->PrettyPrint(*this) : PrettyPrintTemplate(*this);
}

// ---- facts -----------------------------------------------------------------------------------------------

void TFactTemplate::FillFactWithDefaults(TFact& Fact) const {
  if (!Fact.GetTemplate()) throw EIEException(std::string(SNoTemplate));
  if (Fact.GetTemplate().get() != this)
    throw EIEException(SFactTemplatesDifferent, {Fact.GetTemplate()->GetTemplateName(), FTemplateName});
  Fact.Reserve(FSlots.size());
  for (const TSlotEntry& Entry : FSlots) {
    const IIEValue& Default = Entry.Slot->GetSlotDefault();
    IIEValue Value = Default ? Default->Clone() : IIEValue();
    if (Value && Entry.Slot->GetDefaultDynamic() && FEngine) {
      IIEValue Resolved;
      Value->Resolve(FEngine->GetRootContext(), Resolved);
      Value = Resolved;
    }
    Fact.SetValue(Entry.Name, Value);
  }
}

IFact TFactTemplate::NewFact() {
  IFact Fact = MakeRef<TFact>(IFactTemplate(this));
  FillFactWithDefaults(*Fact);
  return Fact;
}

// ---- copying and equality --------------------------------------------------------------------------------

void TFactTemplate::AssignSlots(const TFactTemplate& Source) {
  if (&Source == this) return;
  if (!FEngine) {
    SetFactSlots(Source.FSlots);
    return;
  }
  const std::vector<TSlotEntry> Slots = Source.FSlots;
  ClearSlots();
  for (const TSlotEntry& Entry : Slots) AddSlot(FEngine->ParseFactTemplateSlot(Entry.Slot->GetToString()));
}

void TFactTemplate::Assign(const ICloneableRef& Source) {
  const auto* Template = dynamic_cast<const TFactTemplate*>(Source.get());
  if (!Template) throw EConvertError("Interface not supported");
  if (Template == this) return;
  FBackwardChaining = Template->FBackwardChaining;
  FComment = Template->FComment;
  FTemplateName = Template->FTemplateName;
  if (!FParent || (Template->FParent && Template->FParent->FOwner == FOwner)) FParent = Template->FParent;
  AssignSlots(*Template);
  FFuzzy = Template->IsFuzzy();
  FFuzzyDirty = false;
  FHash = Template->GetHashCode();
  FHashDirty = false;
  FOrdered = Template->FOrdered;
}

void TFactTemplate::Assign(const TPersistent* Source) {
  const auto* Template = dynamic_cast<const TFactTemplate*>(Source);
  if (!Template) {
    TPersistent::Assign(Source);
    return;
  }
  if (Template == this) return;
  FParent = Template->FParent && Template->FParent->FOwner == FOwner ? Template->FParent : IFactTemplate();
  SetFactSlots(Template->FSlots);
}

IFactTemplate TFactTemplate::Clone(TComponent* Owner) const {
  IFactTemplate Copy = MakeRef<TFactTemplate>(Owner);
  if (Copy->FEngine) Copy->FTemplateName = FTemplateName + " Copy";
  Copy->Assign(static_cast<const TPersistent*>(this));
  return Copy;
}

IFactTemplate TFactTemplate::Clone() const { return Clone(FOwner); }

bool TFactTemplate::Equals(const ICloneable* Other) const {
  if (Other == this) return true;
  const auto* Template = dynamic_cast<const TFactTemplate*>(Other);
  if (!Template || Template->FOrdered != FOrdered || Template->FTemplateName != FTemplateName) return false;
  for (const TSlotEntry& Entry : FSlots) {
    const IFactSlot* Theirs = Template->FindSlot(Entry.Name);
    if (!Theirs || !Entry.Slot->Equals(Theirs->get())) return false;
  }
  return true;
}

}  // namespace rulecraft
