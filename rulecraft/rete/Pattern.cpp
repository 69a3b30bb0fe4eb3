#include "rulecraft/rete/Pattern.h"

#include <algorithm>
#include <utility>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/rete/Rule.h"
#include "rulecraft/rete/RuleEngine.h"

namespace rulecraft {

namespace {

[[noreturn]] void IndexError(int32_t Index) {
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

}  // namespace

// ---- TSlotTests -------------------------------------------------------------------------------------------

// The pattern is going away with its lists: its tests are freed without notices.
TSlotTests::~TSlotTests() = default;

int32_t TSlotTests::Add(std::unique_ptr<TIEPatternMatchTest> Test) {
  Insert(Count(), std::move(Test));
  return Count() - 1;
}

void TSlotTests::Insert(int32_t Index, std::unique_ptr<TIEPatternMatchTest> Test) {
  if (Index < 0 || Index > Count()) IndexError(Index);
  if (!Test) return;
  TIEPatternMatchTest* Added = Test.get();
  if (FPattern) Added->SetPattern(FPattern);
  FItems.insert(FItems.begin() + Index, std::move(Test));
  if (FPattern) FPattern->TestNotification(*Added, true);
}

int32_t TSlotTests::IndexOf(const TIEPatternMatchTest* Test) const noexcept {
  for (size_t I = 0; I < FItems.size(); ++I)
    if (FItems[I].get() == Test) return static_cast<int32_t>(I);
  return -1;
}

int32_t TSlotTests::Remove(const TIEPatternMatchTest* Test) {
  const int32_t Index = IndexOf(Test);
  if (Index >= 0) Delete(Index);
  return Index;
}

void TSlotTests::Delete(int32_t Index) { Extract(Index).reset(); }

std::unique_ptr<TIEPatternMatchTest> TSlotTests::Extract(int32_t Index) {
  if (Index < 0 || Index >= Count()) IndexError(Index);
  std::unique_ptr<TIEPatternMatchTest> Test = std::move(FItems[static_cast<size_t>(Index)]);
  FItems.erase(FItems.begin() + Index);
  if (FPattern) FPattern->TestNotification(*Test, false);
  return Test;
}

TIEPatternMatchTest* TSlotTests::Get(int32_t Index) const {
  if (Index < 0 || Index >= Count()) IndexError(Index);
  return FItems[static_cast<size_t>(Index)].get();
}

void TSlotTests::Set(int32_t Index, std::unique_ptr<TIEPatternMatchTest> Test) {
  if (Index < 0 || Index >= Count()) IndexError(Index);
  if (!Test || Test.get() == FItems[static_cast<size_t>(Index)].get()) return;
  Delete(Index);
  Insert(Index, std::move(Test));
}

void TSlotTests::Clear() {
  while (!FItems.empty()) Delete(Count() - 1);
}

// ---- TIEPattern -------------------------------------------------------------------------------------------

TIEPattern::TIEPattern(TComponent* Owner, const TIEName& Name, const IFactTemplate& Template,
                       int32_t NegatedCount)
    : FFactTemplate(Template), FNegatedCount(NegatedCount), FName(Name), FOwner(Owner) {
  if (!Template) return;
  FSlots.reserve(Template->GetSlots().size());
  for (const auto& Entry : Template->GetSlots()) FSlots.push_back(TPatternSlot{Entry.Name, nullptr, -1});
}

TIEPattern::TIEPattern(TComponent* Owner, const TIEPattern& Source) : FOwner(Owner) { Assign(&Source); }

TIEPattern::~TIEPattern() = default;

std::unique_ptr<TIEPattern> TIEPattern::Clone(TComponent* Owner) const {
  return std::make_unique<TIEPattern>(Owner, *this);
}

void TIEPattern::SetGroup(int32_t Index, int32_t Size, int32_t Negation) noexcept {
  FGroupIndex = Index;
  FGroupSize = Size;
  FGroupNegation = Negation;
}

void TIEPattern::Assign(const TPersistent* Source) {
  const auto* Pattern = dynamic_cast<const TIEPattern*>(Source);
  if (!Pattern) {
    TPersistent::Assign(Source);
    return;
  }
  if (Pattern == this) return;
  BeginUpdate();
  try {
    FComment = Pattern->FComment;
    FBoundName = Pattern->FBoundName;
    FUnique = Pattern->FUnique;
    FExplicit = Pattern->FExplicit;
    FName = Pattern->FName;
    FFactTemplate = Pattern->FFactTemplate;
    FNegatedCount = Pattern->FNegatedCount;
    FGroupIndex = Pattern->FGroupIndex;
    FGroupSize = Pattern->FGroupSize;
    FGroupNegation = Pattern->FGroupNegation;
    SetTests(*Pattern);
  } catch (...) {
    --FUpdateCount;
    throw;
  }
  EndUpdate();
}

void TIEPattern::SetUnique(bool Value) {
  if (Value == FUnique) return;
  FUnique = Value;
  Change();
}

void TIEPattern::SetExplicit(bool Value) {
  if (Value == FExplicit) return;
  FExplicit = Value;
  Change();
}

void TIEPattern::SetNegatedCount(int32_t Value) {
  if (Value == FNegatedCount) return;
  FNegatedCount = Value;
  Change();
}

void TIEPattern::SetBoundName(const TIEName& Value) {
  if (IsNegated() && FName == STestCE) throw EIEException(SInvalidPatternBinding);
  if (Value == FBoundName) return;
  FBoundName = Value;
  Change();
}

void TIEPattern::SetName(const TIEName& Value) {
  if (Value == FName) return;
  FName = Value;
  Change();
}

void TIEPattern::SetOwner(TComponent* Value) { FOwner = Value; }

TIEPattern::TPatternSlot& TIEPattern::SlotAt(int32_t Index) {
  if (Index < 0 || Index >= GetSlotCount()) IndexError(Index);
  return FSlots[static_cast<size_t>(Index)];
}

const TIEPattern::TPatternSlot& TIEPattern::SlotAt(int32_t Index) const {
  if (Index < 0 || Index >= GetSlotCount()) IndexError(Index);
  return FSlots[static_cast<size_t>(Index)];
}

const std::string& TIEPattern::GetSlotName(int32_t Index) const { return SlotAt(Index).Name; }

int32_t TIEPattern::IndexOfSlotName(const std::string& Name) const noexcept {
  auto It = std::lower_bound(
      FSlots.begin(), FSlots.end(), Name,
      [](const TPatternSlot& Slot, const std::string& N) { return SlotNameLess(Slot.Name, N); });
  if (It != FSlots.end() && It->Name == Name) return static_cast<int32_t>(It - FSlots.begin());
  // A list copied from a pattern of another template need not be sorted by the template's rule.
  for (size_t I = 0; I < FSlots.size(); ++I)
    if (FSlots[I].Name == Name) return static_cast<int32_t>(I);
  return -1;
}

int32_t TIEPattern::GetSlotLength(int32_t Index) const { return SlotAt(Index).Length; }

void TIEPattern::SetSlotLength(int32_t Index, int32_t Length) {
  TPatternSlot& Slot = SlotAt(Index);
  if (Slot.Length == Length) return;
  Slot.Length = Length;
  Change();
}

TSlotTests* TIEPattern::GetSlotTests(int32_t Index) const { return SlotAt(Index).Tests.get(); }

int32_t TIEPattern::GetSlotTestCount(int32_t Index) const {
  const TSlotTests* Tests = SlotAt(Index).Tests.get();
  return Tests ? Tests->Count() : 0;
}

TIEPatternMatchTest* TIEPattern::GetSlotTest(int32_t Index, int32_t TestIndex) const {
  const TSlotTests* Tests = SlotAt(Index).Tests.get();
  if (!Tests) IndexError(TestIndex);
  return Tests->Get(TestIndex);
}

void TIEPattern::SetSlotTest(int32_t Index, int32_t TestIndex, std::unique_ptr<TIEPatternMatchTest> Test) {
  TSlotTests* Tests = SlotAt(Index).Tests.get();
  if (!Tests) IndexError(TestIndex);
  Tests->Set(TestIndex, std::move(Test));
}

void TIEPattern::SetTests(const TIEPattern& Source) {
  if (&Source == this) return;
  // Every test must find its slot in this pattern's template before anything is replaced.
  for (const TPatternSlot& Slot : Source.FSlots) {
    if (!Slot.Tests || Slot.Tests->Count() == 0) continue;
    if (!FFactTemplate) throw EIEException(SNoTemplate);
    if (!FFactTemplate->ContainsSlot(Slot.Name)) throw EIEException(SNoSuchSlot, {Slot.Name});
  }
  BeginUpdate();
  try {
    FSlots.clear();
    FTestCount = 0;
    FDisjunctiveCount = 0;
    FSlots.reserve(Source.FSlots.size());
    for (const TPatternSlot& Slot : Source.FSlots) {
      FSlots.push_back(TPatternSlot{Slot.Name, nullptr, Slot.Length});
      if (!Slot.Tests) continue;
      FSlots.back().Tests = std::make_unique<TSlotTests>(this);
      for (int32_t I = 0; I < Slot.Tests->Count(); ++I)
        FSlots.back().Tests->Add(CreatePatternMatchTest(*Slot.Tests->Get(I)));
    }
  } catch (...) {
    --FUpdateCount;
    throw;
  }
  EndUpdate();
}

std::unique_ptr<TIEPatternMatchTest> TIEPattern::CreatePatternMatchTest(TSlotTestType Type, int32_t SubIndex,
                                                                        const IIEValue& Value) {
  return std::make_unique<TIEPatternMatchTest>(this, Type, SubIndex, Value);
}

std::unique_ptr<TIEPatternMatchTest> TIEPattern::CreatePatternMatchTest(const TIEPatternMatchTest& Test) {
  auto Copy = std::make_unique<TIEPatternMatchTest>();
  Copy->Assign(&Test);
  Copy->SetPattern(this);
  return Copy;
}

TIEPatternMatchTest* TIEPattern::AddTest(const std::string& SlotName,
                                         std::unique_ptr<TIEPatternMatchTest> Test) {
  if (!FFactTemplate) throw EIEException(SNoTemplate);
  if (!FFactTemplate->ContainsSlot(SlotName)) throw EIEException(SNoSuchSlot, {SlotName});
  if (!Test) return nullptr;
  int32_t Index = IndexOfSlotName(SlotName);
  if (Index < 0) {
    auto It = std::lower_bound(
        FSlots.begin(), FSlots.end(), SlotName,
        [](const TPatternSlot& Slot, const std::string& N) { return SlotNameLess(Slot.Name, N); });
    It = FSlots.insert(It, TPatternSlot{SlotName, nullptr, -1});
    Index = static_cast<int32_t>(It - FSlots.begin());
  }
  TPatternSlot& Slot = FSlots[static_cast<size_t>(Index)];
  if (!Slot.Tests) Slot.Tests = std::make_unique<TSlotTests>(this);
  TIEPatternMatchTest* Added = Test.get();
  Slot.Tests->Add(std::move(Test));
  return Added;
}

TIEPatternMatchTest* TIEPattern::AddTest(const std::string& SlotName, const IIEValue& Value, int32_t SubIndex,
                                         bool Negated, bool Conjunction) {
  std::unique_ptr<TIEPatternMatchTest> Test =
      CreatePatternMatchTest(Negated ? sttNotEquals : sttEquals, SubIndex, Value);
  Test->SetConjunction(Conjunction);
  return AddTest(SlotName, std::move(Test));
}

void TIEPattern::EndUpdate() {
  if (FUpdateCount <= 0) return;
  if (--FUpdateCount == 0) Change();
}

void TIEPattern::Change() {
  if (FUpdateCount > 0) return;
  if (auto* Rule = dynamic_cast<TRule*>(FOwner)) Rule->Change();
  if (OnChange) OnChange(this);
}

namespace {

// Whether Test is one of the tests the pattern holds (a test can point at a pattern before it is added,
// and after it was extracted).
bool Holds(const TIEPattern& Pattern, const TIEPatternMatchTest& Test) {
  for (int32_t I = 0; I < Pattern.GetSlotCount(); ++I)
    if (const TSlotTests* Tests = Pattern.GetSlotTests(I); Tests && Tests->IndexOf(&Test) >= 0) return true;
  return false;
}

}  // namespace

void TIEPattern::TestNotification(const TIEPatternMatchTest& Test, bool Added) {
  const int32_t Step = Added ? 1 : -1;
  FTestCount += Step;
  if (!Test.GetConjunction()) FDisjunctiveCount += Step;
  Change();
}

void TIEPattern::TestChange(const TIEPatternMatchTest& Test) {
  if (Holds(*this, Test)) Change();
}

void TIEPattern::TestConjunctionChange(const TIEPatternMatchTest& Test) {
  if (!Holds(*this, Test)) return;
  FDisjunctiveCount += Test.GetConjunction() ? -1 : 1;
  Change();
}

IRuleEngine* TIEPattern::Engine() const {
  if (auto* Rule = dynamic_cast<TRule*>(FOwner); Rule && Rule->GetEngine()) return Rule->GetEngine();
  if (auto* Owner = dynamic_cast<IRuleEngine*>(FOwner)) return Owner;
  return FFactTemplate ? dynamic_cast<IRuleEngine*>(FFactTemplate->GetOwner()) : nullptr;
}

std::string TIEPattern::GetToString() const {
  if (FFactTemplate)
    if (auto* Owner = dynamic_cast<IRuleEngine*>(FFactTemplate->GetOwner())) return Owner->PrettyPrint(*this);
  return PrettyPrintPattern(*this);
}

}  // namespace rulecraft
