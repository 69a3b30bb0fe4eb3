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

}  // namespace

TFactOrigin::TFactOrigin(IIEValue RuleName, size_t Count)
    : FCount(static_cast<uint32_t>(Count)), FRuleName(std::move(RuleName)) {
  if (Count > InlineIds) FMore = std::make_unique<int32_t[]>(Count);
}

TFactOrigin::TFactOrigin(IIEValue RuleName, const std::vector<int32_t>& FactIds)
    : TFactOrigin(std::move(RuleName), FactIds.size()) {
  for (size_t I = 0; I < FactIds.size(); ++I) SetFactId(I, FactIds[I]);
}

const std::string& TFactOrigin::GetRuleName() const noexcept {
  static const std::string None;
  return FRuleName ? FRuleName->Text() : None;
}

std::vector<int32_t> TFactOrigin::GetFactIds() const {
  const int32_t* Ids = FMore ? FMore.get() : FInline;
  return std::vector<int32_t>(Ids, Ids + FCount);
}

TFact::TFact(const IFactTemplate& Template, const IFact& Source) : FTemplate(Template) {
  if (Source) Assign(ICloneableRef(Source));
}

TFact::~TFact() = default;

// ---- the value table -------------------------------------------------------------------------------------

std::unique_ptr<TFact::TEntry[]> TFact::NewEntries(size_t Count) {
  return Count ? std::make_unique<TEntry[]>(Count) : nullptr;
}

void TFact::Relayout() const {
  if (!FTemplate) {
    FValues.reset();
    FLayout.reset();
    return;
  }
  const ISlotLayout& Layout = FTemplate->GetLayout();
  if (FLayout == Layout) return;
  // The template's slots changed since the array was laid out: carry the values over by name.
  std::unique_ptr<TEntry[]> Values = NewEntries(Layout->Names.size());
  if (FLayout) {
    const std::vector<std::string>& Old = FLayout->Names;
    for (size_t I = 0; I < Old.size(); ++I) {
      if (!FValues[I].Set) continue;
      const int32_t At = FTemplate->IndexOfSlot(Old[I]);
      if (At >= 0) Values[static_cast<size_t>(At)] = std::move(FValues[I]);
    }
  }
  FValues = std::move(Values);
  FLayout = Layout;
  ValuesChanged();
}

void TFact::FillDefault(size_t Position) const {
  TEntry& Entry = FValues[Position];
  const IIEValue& Default = FTemplate->GetSlots()[Position].Slot->GetSlotDefault();
  Entry.Value = Default ? Default->Clone() : IIEValue();
  Entry.Set = true;
}

void TFact::RaiseNoTemplate() { throw EIEException(std::string(SNoTemplate)); }

bool TFact::TypeChecking() const noexcept {
  IFactEngine* Engine = FTemplate ? FTemplate->GetEngine() : nullptr;
  return Engine && Engine->GetTypeChecks().Contains(tcDynamic);
}

IIEValue TFact::GetValue(const std::string& Name) {
  CheckTemplate();
  Follow();
  const int32_t At = FTemplate->IndexOfSlot(Name);
  if (At < 0) throw EIEException(SNoSuchSlot, {Name});
  return Filled(static_cast<size_t>(At)).Value;
}

IIEValue TFact::ContainsKey(const std::string& Name) {
  CheckTemplate();
  Follow();
  const int32_t At = FTemplate->IndexOfSlot(Name);
  if (At < 0) return IIEValue();
  return Filled(static_cast<size_t>(At)).Value;
}

const IIEValue* TFact::SlotValue(const std::string& Name, size_t& Hint, IFactSlot& Known) {
  CheckTemplate();
  Follow();
  const auto& Slots = FTemplate->GetSlots();
  // Known is held, so the same object at that place is the same slot: no other slot can take its address.
  if (Hint < Slots.size() && Known && Slots[Hint].Slot.get() == Known.get()) return &Filled(Hint).Value;
  const int32_t At = FTemplate->IndexOfSlot(Name);
  if (At < 0) return nullptr;
  Hint = static_cast<size_t>(At);
  Known = Slots[Hint].Slot;
  return &Filled(Hint).Value;
}

void TFact::SetValue(const std::string& Name, const IIEValue& Value) {
  CheckTemplate();
  Follow();
  const int32_t At = FTemplate->IndexOfSlot(Name);
  if (At < 0) throw EIEException(SNoSuchSlot, {Name});
  StoreAt(static_cast<size_t>(At), Value, TypeChecking());
}

void TFact::StoreAt(size_t Position, const IIEValue& Value, bool Checking) {
  const IIEValue& Stored = Value ? Value : FCNil;
  TEntry& Entry = FValues[Position];
  IIEValue Accepted = Stored;
  if (Checking) {
    const TFactSlot& Slot = *FTemplate->GetSlots()[Position].Slot;
    if (!Slot.IsValid(Accepted)) {
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
        if (!Entry.Set) {
          // A slot never set keeps the refused value, as a new entry always has.
          ValuesChanged();
          Entry.Value = Stored;
          Entry.Set = true;
        }
        throw EIEException(Slot.GetInvalidValueString(Accepted));
      }
    }
  }
  ValuesChanged();
  Entry.Value = std::move(Accepted);
  Entry.Set = true;
}

void TFact::SetTemplate(const IFactTemplate& Template) {
  if (Template == FTemplate) return;
  ValuesChanged();
  if (!Template) {
    FValues.reset();
    FLayout.reset();
    FTemplate = Template;
    return;
  }
  Follow();
  // Values of slots both templates have stay; every other slot of the new template takes its default.
  const ISlotLayout& Layout = Template->GetLayout();
  const auto& Slots = Template->GetSlots();
  std::unique_ptr<TEntry[]> Values = NewEntries(Slots.size());
  for (size_t I = 0; I < Slots.size(); ++I) {
    const int32_t Old = FTemplate ? FTemplate->IndexOfSlot(Slots[I].Name) : -1;
    if (Old >= 0 && FValues[static_cast<size_t>(Old)].Set) {
      Values[I] = std::move(FValues[static_cast<size_t>(Old)]);
    } else {
      const IIEValue& Default = Slots[I].Slot->GetSlotDefault();
      Values[I] = TEntry{Default ? Default->Clone() : IIEValue(), true};
    }
  }
  FValues = std::move(Values);
  FTemplate = Template;
  FLayout = Layout;
}

std::vector<std::string> TFact::GetSlotNames() const {
  Follow();
  std::vector<std::string> Names;
  for (size_t I = 0; I < SlotCount(); ++I)
    if (FValues[I].Set) Names.push_back(FLayout->Names[I]);
  return Names;
}

std::vector<IIEValue> TFact::GetSlotValues() const {
  Follow();
  std::vector<IIEValue> Values;
  for (size_t I = 0; I < SlotCount(); ++I)
    if (FValues[I].Set) Values.push_back(FValues[I].Value);
  return Values;
}

const IIEValue* TFact::PeekValue(const std::string& Name) const {
  if (!FTemplate) return nullptr;
  Follow();
  const int32_t At = FTemplate->IndexOfSlot(Name);
  if (At < 0 || !FValues[static_cast<size_t>(At)].Set) return nullptr;
  return &FValues[static_cast<size_t>(At)].Value;
}

// ---- copying ---------------------------------------------------------------------------------------------

void TFact::AssignValues(const TFact& Source) {
  if (!FTemplate || !Source.FTemplate) throw EIEException(std::string(SNoTemplate));
  if (FTemplate != Source.FTemplate)
    throw EIEException(SFactTemplatesDifferent,
                       {FTemplate->GetTemplateName(), Source.FTemplate->GetTemplateName()});
  if (&Source == this) return;
  ValuesChanged();
  Source.Follow();
  std::unique_ptr<TEntry[]> Values = NewEntries(Source.SlotCount());
  for (size_t I = 0; I < Source.SlotCount(); ++I)
    if (Source.FValues[I].Set) {
      const IIEValue& Value = Source.FValues[I].Value;
      Values[I] = TEntry{Value ? Value->Clone() : IIEValue(), true};
    }
  FValues = std::move(Values);
  FLayout = Source.FLayout;
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
  AssignFact(Fact);
}

void TFact::AssignFact(const TFact* Fact) {
  if (Fact == this) return;
  ValuesChanged();
  if (AssignAcrossEngines(*Fact)) return;
  FTemplate = Fact->FTemplate;
  FValues.reset();
  FLayout.reset();
  if (FTemplate) {
    // The values are stored one by one by position, so the slots' checks apply. Both facts follow the
    // template's current layout, so a position means the same slot in both.
    Fact->Follow();
    Follow();
    const bool Checking = TypeChecking();
    for (size_t I = 0; I < Fact->SlotCount(); ++I) {
      const TEntry& Entry = Fact->FValues[I];
      if (Entry.Set) StoreAt(I, Entry.Value ? Entry.Value->Clone() : IIEValue(), Checking);
    }
  }
  FID = Fact->FID;
  FTag = Fact->FTag;
}

IFact TFact::Clone() const {
  IFact Copy = MakeRef<TFact>(FTemplate);
  Copy->AssignFact(this);
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
  Follow();
  Fact->Follow();
  const auto& Slots = FTemplate->GetSlots();
  for (size_t I = 0; I < Slots.size(); ++I) {
    if (Slots[I].Slot->IsFuzzy()) continue;
    if (!SameValue(Filled(I).Value, Fact->Filled(I).Value)) return false;
  }
  return true;
}

void TFact::ComputeMatchHash() const {
  uint64_t Match = MixHash(reinterpret_cast<uintptr_t>(FTemplate.get()));
  if (FTemplate) {
    Follow();
    for (size_t I = 0; I < SlotCount(); ++I) {
      const IIEValue& Value = Filled(I).Value;
      Match = CombineHash(Match, Value ? Value->GetMatchHash() : 0);
    }
  }
  Match = MixHash(Match) & ~HouseHashKept;
  FMatchHash = Match ? Match : 1;  // 0 marks the hash as not computed
}

int32_t TFact::GetHashCode() const {
  if (!FTemplate) return 0;
  if (!(FMatchHash & HouseHashKept)) {
    Follow();
    if (!FMatchHash) ComputeMatchHash();
    uint32_t Hash = 0;
    for (size_t I = 0; I < SlotCount(); ++I) HashValueText(Hash, Filled(I).Value);
    FValuesHash = Hash;
    FMatchHash |= HouseHashKept;
  }
  // The template's own hash is kept by the template, which knows when it changes.
  return static_cast<int32_t>(static_cast<uint32_t>(FTemplate->GetHashCode()) * 31u + FValuesHash);
}

uint64_t TFact::GetMatchHash() const {
  if (!FMatchHash) ComputeMatchHash();
  return FMatchHash & ~HouseHashKept;
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

// Facts are made in great numbers: the counted base, three 4-byte fields and five 8-byte ones, which fill
// exactly one 64-byte block of the recycled-block cache (its classes go in steps of 16 bytes).
static_assert(sizeof(void*) != 8 || sizeof(rulecraft::TFact) <= 64, "TFact grew");
// A firing that asserts makes one record: one 48-byte block.
static_assert(sizeof(void*) != 8 || sizeof(rulecraft::TFactOrigin) <= 48, "TFactOrigin grew");
