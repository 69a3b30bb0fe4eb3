#include "rulecraft/facts/Fact.h"

#include <algorithm>
#include <charconv>

#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/facts/FactEngine.h"
#include "rulecraft/facts/FactPrinter.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/Format.h"

namespace rulecraft {

namespace {

// Feeds the text form of Value into a running CalculateHash(text, 1) without building the text when the
// kind allows it.
void HashValueText(uint32_t& Hash, const IIEValue& Value) {
  auto Feed = [&Hash](std::string_view Text) {
    for (char C : Text) Hash = Hash * 31u + static_cast<unsigned char>(C);
  };
  if (!Value) return;
  switch (Value->GetDType()) {
    case dtAtom:
    case dtSlot:
    case dtMultiSlot:
      Feed(Value->Text());
      return;
    case dtInteger: {
      char Buffer[16];
      auto [End, Ec] = std::to_chars(Buffer, Buffer + sizeof Buffer, Value->GetAsInteger());
      (void)Ec;
      Feed(std::string_view(Buffer, static_cast<size_t>(End - Buffer)));
      return;
    }
    default: {
      const TReadBackText DisplayText(false);  // the hash must not depend on where it is computed
      Feed(Value->GetToString());
      return;
    }
  }
}

bool SameValue(const IIEValue& A, const IIEValue& B) {
  if (!A || !B) return !A && !B;
  return A->Equals(B.get());
}

bool EntryLess(const std::string& A, const std::string& B) noexcept { return SlotNameLess(A, B); }

}  // namespace

TFact::TFact(const IFactTemplate& Template, const IFact& Source) : FTemplate(Template) {
  if (Source) Assign(ICloneableRef(Source));
}

TFact::~TFact() = default;

// ---- the value table -------------------------------------------------------------------------------------

TFact::TEntry* TFact::Find(const std::string& Name, size_t Hint) const noexcept {
  if (Hint < FValues.size() && FValues[Hint].Name == Name) return &FValues[Hint];
  if (FValues.size() <= 8) {  // small tables: exact comparisons beat the ordered search
    for (TEntry& Entry : FValues)
      if (Entry.Name == Name) return &Entry;
    return nullptr;
  }
  auto It = std::lower_bound(FValues.begin(), FValues.end(), Name,
                             [](const TEntry& E, const std::string& N) { return EntryLess(E.Name, N); });
  return It != FValues.end() && It->Name == Name ? &*It : nullptr;
}

TFact::TEntry& TFact::Insert(const std::string& Name, IIEValue Value) const {
  // Slots are mostly filled in template (sorted) order: append without searching.
  if (FValues.empty() || EntryLess(FValues.back().Name, Name)) {
    FValues.push_back(TEntry{Name, std::move(Value), IFactSlot()});
    return FValues.back();
  }
  auto It = std::lower_bound(FValues.begin(), FValues.end(), Name,
                             [](const TEntry& E, const std::string& N) { return EntryLess(E.Name, N); });
  return *FValues.insert(It, TEntry{Name, std::move(Value), IFactSlot()});
}

void TFact::CheckTemplate() const {
  if (!FTemplate) throw EIEException(std::string(SNoTemplate));
}

bool TFact::TypeChecking() const noexcept {
  IFactEngine* Engine = FTemplate ? FTemplate->GetEngine() : nullptr;
  return Engine && Engine->GetTypeChecks().Contains(tcDynamic);
}

namespace {
bool SlotOfTemplate(const IFactSlot& Slot, const TFactTemplate& Template) {
  return Slot && (Slot->GetTemplate() == &Template || Slot->GetTemplateName() == Template.GetTemplateName());
}
}  // namespace

const IIEValue& TFact::ValueOf(const TFactSlot& Slot, const std::string& Name, size_t Hint) const {
  if (TEntry* Entry = Find(Name, Hint)) return Entry->Value;
  const IIEValue& Default = Slot.GetSlotDefault();
  TEntry& Entry = Insert(Name, Default ? Default->Clone() : IIEValue());
  Entry.Slot = IFactSlot(const_cast<TFactSlot*>(&Slot));
  return Entry.Value;
}

IIEValue TFact::GetValue(const std::string& Name) {
  CheckTemplate();
  if (TEntry* Entry = Find(Name)) return Entry->Value;
  const IFactSlot* Slot = FTemplate->FindSlot(Name);
  if (!Slot) throw EIEException(SNoSuchSlot, {Name});
  return ValueOf(**Slot, Name, 0);
}

IIEValue TFact::ContainsKey(const std::string& Name) {
  CheckTemplate();
  TEntry* Entry = Find(Name);
  if (Entry && SlotOfTemplate(Entry->Slot, *FTemplate)) return Entry->Value;
  const IFactSlot* Slot = FTemplate->FindSlot(Name);
  if (!Slot) return IIEValue();
  if (!Entry) {
    const IIEValue& Default = (*Slot)->GetSlotDefault();
    Entry = &Insert(Name, Default ? Default->Clone() : IIEValue());
  }
  Entry->Slot = *Slot;
  return Entry->Value;
}

const IIEValue* TFact::SlotValue(const std::string& Name, size_t& Hint, IFactSlot& Known) {
  if (Hint < FValues.size()) {
    const TEntry& Entry = FValues[Hint];
    // Known is held, so the same object is the same slot: no other slot can take its address.
    if (Known && Entry.Slot == Known && Known->GetTemplate() == FTemplate.get()) return &Entry.Value;
    if (Entry.Name == Name && FTemplate && SlotOfTemplate(Entry.Slot, *FTemplate)) return &Entry.Value;
  }
  if (!ContainsKey(Name)) return nullptr;
  TEntry* Entry = Find(Name);
  if (!Entry) return nullptr;
  Hint = static_cast<size_t>(Entry - FValues.data());
  if (Entry->Slot && Entry->Slot->GetTemplate() == FTemplate.get()) Known = Entry->Slot;
  return &Entry->Value;
}

void TFact::SetValue(const std::string& Name, const IIEValue& Value) {
  CheckTemplate();
  const bool Checking = TypeChecking();
  TEntry* Entry = Find(Name);
  const IIEValue& Stored = Value ? Value : FCNil;
  ValuesChanged();
  if (Entry && !Checking) {
    Entry->Value = Stored;
    return;
  }
  if (!(Entry && SlotOfTemplate(Entry->Slot, *FTemplate))) {
    const IFactSlot* Slot = FTemplate->FindSlot(Name);
    if (!Slot) throw EIEException(SNoSuchSlot, {Name});
    if (!Entry) Entry = &Insert(Name, Stored);
    Entry->Slot = *Slot;
  }
  IIEValue Accepted = Stored;
  if (Checking && !Entry->Slot->IsValid(Accepted)) {
    const TFactSlot& Slot = *Entry->Slot;
    const TIEType Kind = Accepted->GetDType();
    // A converted copy is stored: the given value object may be shared with a variable or another fact.
    if (Kind == dtInteger && Slot.GetSlotType().Contains(dtFloat)) {
      Accepted = MakeRef<TIEValue>(static_cast<double>(Accepted->GetAsInteger()));
    } else if ((Kind == dtAtom || Kind == dtString) && Slot.IsFuzzy() && Slot.GetExtendedTypeInfo() &&
               Slot.GetExtendedTypeInfo()->GetFuzzyType()) {
      IFuzzySet Set = FTemplate->GetEngine()->EvalFuzzyExpression(
          Slot.GetExtendedTypeInfo()->GetFuzzyType().get(), Accepted->GetAsString());
      Accepted = MakeRef<TIEValue>(Set);
    } else {
      throw EIEException(Slot.GetInvalidValueString(Accepted));
    }
  }
  Entry->Value = std::move(Accepted);
}

void TFact::SetTemplate(const IFactTemplate& Template) {
  if (Template == FTemplate) return;
  ValuesChanged();
  if (!Template) {
    FValues.clear();
    FTemplate = Template;
    return;
  }
  if (FTemplate) {
    for (const auto& Slot : FTemplate->GetSlots()) {
      const IFactSlot* NewSlot = Template->FindSlot(Slot.Name);
      TEntry* Entry = Find(Slot.Name);
      if (!Entry) continue;
      if (NewSlot)
        Entry->Slot = *NewSlot;
      else
        FValues.erase(FValues.begin() + (Entry - FValues.data()));
    }
  }
  FTemplate = Template;
  for (const auto& Slot : FTemplate->GetSlots())
    if (!Find(Slot.Name)) {
      const IIEValue& Default = Slot.Slot->GetSlotDefault();
      Insert(Slot.Name, Default ? Default->Clone() : IIEValue());
    }
}

std::vector<std::string> TFact::GetSlotNames() const {
  std::vector<std::string> Names;
  Names.reserve(FValues.size());
  for (const TEntry& Entry : FValues) Names.push_back(Entry.Name);
  return Names;
}

std::vector<IIEValue> TFact::GetSlotValues() const {
  std::vector<IIEValue> Values;
  Values.reserve(FValues.size());
  for (const TEntry& Entry : FValues) Values.push_back(Entry.Value);
  return Values;
}

const IIEValue* TFact::PeekValue(const std::string& Name) const noexcept {
  const TEntry* Entry = Find(Name);
  return Entry ? &Entry->Value : nullptr;
}

// ---- copying ---------------------------------------------------------------------------------------------

void TFact::AssignValues(const TFact& Source) {
  if (!FTemplate || !Source.FTemplate) throw EIEException(std::string(SNoTemplate));
  if (FTemplate != Source.FTemplate)
    throw EIEException(SFactTemplatesDifferent,
                       {FTemplate->GetTemplateName(), Source.FTemplate->GetTemplateName()});
  if (&Source == this) return;
  ValuesChanged();
  std::vector<TEntry> Values;
  Values.reserve(Source.FValues.size());
  for (const TEntry& Entry : Source.FValues)
    Values.push_back(TEntry{Entry.Name, Entry.Value ? Entry.Value->Clone() : IIEValue(), IFactSlot()});
  FValues = std::move(Values);
}

bool TFact::AssignAcrossEngines(const TFact& Source) {
  if (Source.FTemplate == FTemplate || !FTemplate || !Source.FTemplate ||
      FTemplate->GetOwner() == Source.FTemplate->GetOwner())
    return false;
  IFactEngine* Engine = FTemplate->GetEngine();
  if (!Engine) return false;
  const std::string& Name = Source.FTemplate->GetTemplateName();
  IFactTemplate Template = Engine->FindFactTemplate(Name);
  if (!Template) {
    Template = Engine->CreateFactTemplate(Name);
    Template->Assign(ICloneableRef(Source.FTemplate));
  }
  // The fact takes this engine's template of that name, whether found or created, before the values.
  SetTemplate(Template);
  IFact Parsed = Engine->ParseFact([&Source] {
    const TReadBackText ReadBack;  // the copy must keep every value
    return Source.GetToString();
  }());
  AssignValues(*Parsed);
  FID = Parsed->FID;
  FTag = Parsed->FTag;
  return true;
}

void TFact::Assign(const ICloneableRef& Source) {
  const auto* Fact = dynamic_cast<const TFact*>(Source.get());
  if (!Fact) throw EConvertError("Interface not supported");
  if (Fact == this) return;
  ValuesChanged();
  if (!AssignAcrossEngines(*Fact)) {
    FTemplate = Fact->FTemplate;
    AssignValues(*Fact);
  }
  FID = Fact->FID;
  FTag = Fact->FTag;
}

void TFact::Assign(const TPersistent* Source) {
  const auto* Fact = dynamic_cast<const TFact*>(Source);
  if (!Fact) {
    TPersistent::Assign(Source);
    return;
  }
  if (Fact == this) return;
  ValuesChanged();
  if (AssignAcrossEngines(*Fact)) return;
  FTemplate = Fact->FTemplate;
  // The values are stored one by one through SetValue, so the slots' checks apply.
  const std::vector<TEntry> Values = Fact->FValues;
  FValues.clear();
  FValues.reserve(Values.size());
  for (const TEntry& Entry : Values) SetValue(Entry.Name, Entry.Value ? Entry.Value->Clone() : IIEValue());
  FID = Fact->FID;
  FTag = Fact->FTag;
}

IFact TFact::Clone() const {
  IFact Copy = MakeRef<TFact>(FTemplate);
  Copy->Assign(static_cast<const TPersistent*>(this));
  return Copy;
}

// ---- equality, hash, text --------------------------------------------------------------------------------

bool TFact::Equals(const ICloneable* Other) const {
  if (Other == this) return true;
  const auto* Fact = dynamic_cast<const TFact*>(Other);
  return Fact && Equals(*Fact);
}

bool TFact::Equals(const TFact& Other) const {
  if (&Other == this) return true;
  const TFact* Fact = &Other;
  if (Fact->FTemplate != FTemplate) return false;
  if (!FTemplate) return true;
  const auto& Slots = FTemplate->GetSlots();
  for (size_t I = 0; I < Slots.size(); ++I) {
    const TFactSlot& Slot = *Slots[I].Slot;
    if (Slot.IsFuzzy()) continue;
    const IIEValue& Mine = ValueOf(Slot, Slots[I].Name, I);
    const IIEValue& Theirs = Fact->ValueOf(Slot, Slots[I].Name, I);
    if (!SameValue(Mine, Theirs)) return false;
  }
  return true;
}

void TFact::ComputeHashes() const {
  uint32_t Hash = 0;
  uint64_t Match = MixHash(reinterpret_cast<uintptr_t>(FTemplate.get()));
  if (FTemplate) {
    const auto& Slots = FTemplate->GetSlots();
    for (size_t I = 0; I < Slots.size(); ++I) {
      const IIEValue& Value = ValueOf(*Slots[I].Slot, Slots[I].Name, I);
      HashValueText(Hash, Value);
      Match = CombineHash(Match, Value ? Value->GetMatchHash() : 0);
    }
  }
  FValuesHash = Hash;
  FMatchHash = MixHash(Match);
  FHashState = 1;
}

int32_t TFact::GetHashCode() const {
  if (!FTemplate) return 0;
  if (!FHashState) ComputeHashes();
  // The template's own hash is kept by the template, which knows when it changes.
  return static_cast<int32_t>(static_cast<uint32_t>(FTemplate->GetHashCode()) * 31u + FValuesHash);
}

uint64_t TFact::GetMatchHash() const {
  if (!FHashState) ComputeHashes();
  return FMatchHash;
}

std::string TFact::GetToString() const {
  IFactEngine* Engine = FTemplate ? FTemplate->GetEngine() : nullptr;
  return Engine ? Engine->PrettyPrint(*this) : PrettyPrintFact(*this);
}

std::string TFact::GetToIDString() const {
  IFactEngine* Engine = FTemplate ? FTemplate->GetEngine() : nullptr;
  if (!Engine) return "f-" + std::to_string(FID) + " " + GetToString();
  const std::string Digits = std::to_string(std::to_string(Engine->GetNextFactId()).size());
  return Format("%s%" + Digits + "." + Digits + "d %s", {"f-", FID, GetToString()});
}

}  // namespace rulecraft
