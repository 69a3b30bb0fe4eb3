#include "rulecraft/rete/Pattern.h"

#include <algorithm>
#include <utility>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/TokenBase.h"
#include "rulecraft/rete/Rule.h"
#include "rulecraft/rete/RuleEngine.h"

namespace rulecraft {

namespace {

[[noreturn]] void IndexError(int32_t Index) {
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

IIEValue CloneValue(const IIEValue& Value) { return Value ? Value->Clone() : IIEValue(); }

bool SameValue(const IIEValue& A, const IIEValue& B) {
  if (!A || !B) return !A && !B;
  return A->Equals(B);
}

// A test result counts as false when it is the atom FALSE (the shared FCFalse or any copy of it).
bool IsFalse(const IIEValue& Value) {
  return Value && Value->GetDType() == dtAtom && Value->Text() == FCFalse->Text();
}

// The field a join test compares: the slot's value, or its list item at SubIndex; nil when there is none.
IIEValue FieldOf(TFact& Fact, const std::string& Slot, int32_t SubIndex) {
  IIEValue Value = Fact.ContainsKey(Slot);
  if (SubIndex == NoSubIndex || !Value) return Value;
  if (Value->GetDType() != dtList) return IIEValue();
  IValueVector List = Value->GetAsList();
  if (!List || SubIndex < 0 || SubIndex >= List->GetValueCount()) return IIEValue();
  return List->Get(SubIndex);
}

}  // namespace

const TEnumInfo& TSlotTestTypeInfo() {
  static const TEnumInfo Info("TSlotTestType", {"sttEquals", "sttNotEquals"});
  return Info;
}

// ---- TIESlotTest ------------------------------------------------------------------------------------------

void TIESlotTest::Assign(const TPersistent* Source) {
  if (const auto* Test = dynamic_cast<const TIESlotTest*>(Source)) {
    FTestType = Test->FTestType;
    return;
  }
  TPersistent::Assign(Source);
}

std::string TIESlotTest::GetToString() const { return FTestType == sttEquals ? "=" : "<>"; }

bool TIESlotTest::Equals(const TIESlotTest& Other) const {
  return ClassType() == Other.ClassType() && FTestType == Other.FTestType;
}

// ---- TIEPatternMatchTest ----------------------------------------------------------------------------------

TIEPatternMatchTest::TIEPatternMatchTest(TIEPattern* Pattern) : FPattern(Pattern) {}

TIEPatternMatchTest::TIEPatternMatchTest(TIEPattern* Pattern, TSlotTestType Type, int32_t SubIndex,
                                         const IIEValue& Value)
    : TIESlotTest(Type), FSlotValue(CloneValue(Value)), FMultiSlotSubIndex(SubIndex), FPattern(Pattern) {}

TIEPatternMatchTest::TIEPatternMatchTest(const TIEPatternMatchTest& Source, const IIEValue& Value)
    : TIESlotTest(Source.GetTestType()),
      FSlotValue(CloneValue(Value)),
      FMultiSlotSubIndex(Source.FMultiSlotSubIndex),
      FConjunction(Source.FConjunction),
      FPattern(Source.FPattern) {}

void TIEPatternMatchTest::SetSlotValue(const IIEValue& Value) {
  FSlotValue = CloneValue(Value);
  if (FPattern) FPattern->TestChange(*this);
}

void TIEPatternMatchTest::SetMultiSlotSubIndex(int32_t Value) {
  if (Value == FMultiSlotSubIndex) return;
  FMultiSlotSubIndex = Value;
  if (FPattern) FPattern->TestChange(*this);
}

void TIEPatternMatchTest::SetConjunction(bool Value) {
  if (Value == FConjunction) return;
  FConjunction = Value;
  if (FPattern) FPattern->TestConjunctionChange(*this);
}

void TIEPatternMatchTest::Assign(const TPersistent* Source) {
  const auto* Test = dynamic_cast<const TIEPatternMatchTest*>(Source);
  if (!Test) {
    TIESlotTest::Assign(Source);
    return;
  }
  if (Test == this) return;
  TIESlotTest::Assign(Source);
  FSlotValue = CloneValue(Test->FSlotValue);
  FMultiSlotSubIndex = Test->FMultiSlotSubIndex;
  const bool ConjunctionChanged = FConjunction != Test->FConjunction;
  FConjunction = Test->FConjunction;
  if (!FPattern) return;
  if (ConjunctionChanged)
    FPattern->TestConjunctionChange(*this);
  else
    FPattern->TestChange(*this);
}

std::string TIEPatternMatchTest::GetToString() const {
  std::string Out = TIESlotTest::GetToString() + " SubIdx: " + std::to_string(FMultiSlotSubIndex);
  if (FSlotValue) Out += " Slot: " + FSlotValue->GetToString();
  return Out;
}

std::unique_ptr<TIESlotTest> TIEPatternMatchTest::Clone() const {
  auto Copy = std::make_unique<TIEPatternMatchTest>();
  Copy->Assign(this);
  Copy->SetPattern(FPattern);
  return Copy;
}

bool TIEPatternMatchTest::Equals(const TIESlotTest& Other) const {
  if (!TIESlotTest::Equals(Other)) return false;
  const auto& Test = static_cast<const TIEPatternMatchTest&>(Other);
  return FMultiSlotSubIndex == Test.FMultiSlotSubIndex && FConjunction == Test.FConjunction &&
         SameValue(FSlotValue, Test.FSlotValue);
}

bool TIEPatternMatchTest::Equals(bool Negated, bool Conjunction, int32_t SubIndex,
                                 const IIEValue& Value) const {
  return FConjunction == Conjunction && Equals(Negated, SubIndex, Value);
}

bool TIEPatternMatchTest::Equals(bool Negated, int32_t SubIndex, const IIEValue& Value) const {
  return IsNegated() == Negated && FMultiSlotSubIndex == SubIndex && SameValue(FSlotValue, Value);
}

bool TIEPatternMatchTest::PerformTest(TIEContext* Context) {
  IIEValue Result;
  if (FSlotValue) {
    IIEValue Value = FSlotValue;  // the call may replace this test's value while it runs
    Value->Resolve(Context, Result);
  }
  return IsFalse(Result) == IsNegated();
}

IFunCall TIEPatternMatchTest::ConvertToFunCall(IFunctionEngine* Reasoner, const IIEValue& SlotValue) const {
  if (FSlotValue && FSlotValue->GetDType() == dtFunCall) {
    IFunCall Own = FSlotValue->GetAsFunCall();
    if (!IsNegated()) return Own;
    IFunCall Not = MakeRef<TFunctionCall>(Reasoner, "not");
    Not->AddArgument(Own);
    return Not;
  }
  IFunCall Call = MakeRef<TFunctionCall>(Reasoner, IsNegated() ? "neq" : "eq");
  Call->AddArgument(FSlotValue ? FSlotValue->Clone() : MakeRef<TIEValue>());
  Call->AddArgument(SlotValue ? SlotValue->Clone() : MakeRef<TIEValue>());
  return Call;
}

// ---- TIEJoinTest ------------------------------------------------------------------------------------------

TIEJoinTest::TIEJoinTest(TSlotTestType Type, const std::string& LeftSlot, const std::string& RightSlot,
                         int32_t TokenIdx)
    : TIESlotTest(Type), FRightSlot(RightSlot), FLeftSlot(LeftSlot), FTokenIdx(TokenIdx) {}

TIEJoinTest::TIEJoinTest(TSlotTestType Type, const std::string& LeftSlot, int32_t LeftSubIndex,
                         const std::string& RightSlot, int32_t RightSubIndex, int32_t TokenIdx)
    : TIESlotTest(Type),
      FRightSubIndex(RightSubIndex),
      FRightSlot(RightSlot),
      FLeftSlot(LeftSlot),
      FTokenIdx(TokenIdx),
      FLeftSubIndex(LeftSubIndex),
      FJoinType(tstMultiSlot) {}

void TIEJoinTest::Assign(const TPersistent* Source) {
  TIESlotTest::Assign(Source);
  if (const auto* Test = dynamic_cast<const TIEJoinTest*>(Source)) {
    FRightSubIndex = Test->FRightSubIndex;
    FRightSlot = Test->FRightSlot;
    FLeftSlot = Test->FLeftSlot;
    FTokenIdx = Test->FTokenIdx;
    FLeftSubIndex = Test->FLeftSubIndex;
    FJoinType = Test->FJoinType;
  }
}

std::string TIEJoinTest::GetToString() const {
  std::string Out = TIESlotTest::GetToString() + " " + std::string(TTemplateSlotTypeInfo().Name(FJoinType)) +
                    " TokenIdx: " + std::to_string(FTokenIdx);
  if (FJoinType == tstMultiSlot)
    return Out + " Left: " + FLeftSlot + " " + std::to_string(FLeftSubIndex) + " Right: " + FRightSlot + " " +
           std::to_string(FRightSubIndex);
  return Out + " Left: " + FLeftSlot + " Right: " + FRightSlot;
}

std::unique_ptr<TIESlotTest> TIEJoinTest::Clone() const {
  auto Copy = std::make_unique<TIEJoinTest>();
  Copy->Assign(this);
  return Copy;
}

bool TIEJoinTest::Equals(const TIESlotTest& Other) const {
  if (!TIESlotTest::Equals(Other)) return false;
  const auto& Test = static_cast<const TIEJoinTest&>(Other);
  return FJoinType == Test.FJoinType && FLeftSlot == Test.FLeftSlot && FLeftSubIndex == Test.FLeftSubIndex &&
         FRightSlot == Test.FRightSlot && FRightSubIndex == Test.FRightSubIndex &&
         FTokenIdx == Test.FTokenIdx;
}

bool TIEJoinTest::PerformTest(TIEContext* Context) {
  // A comparison that lacks one of its facts has nothing to refuse: it passes whatever its type.
  if (!Context) return true;
  const IFact& Right = Context->GetFact();
  const ITokenBase& Token = Context->GetToken();
  if (!Right || !Token) return true;
  return Matches(*Token, *Right);
}

bool TIEJoinTest::Matches(const TTokenBase& Token, TFact& Right) const {
  const IFact& Left = Token.GetFacts(FTokenIdx);
  if (!Left) return true;
  bool Equal;
  if (FJoinType == tstMultiSlot) {
    IIEValue LeftValue = FieldOf(*Left, FLeftSlot, FLeftSubIndex);
    IIEValue RightValue = FieldOf(Right, FRightSlot, FRightSubIndex);
    // A field that is not there equals nothing.
    Equal = LeftValue && RightValue && RightValue->Equals(LeftValue);
  } else {
    const IIEValue* LeftValue = Left->SlotValue(FLeftSlot, FLeftHint, FLeftKnown);
    const IIEValue* RightValue = Right.SlotValue(FRightSlot, FRightHint, FRightKnown);
    Equal = LeftValue && RightValue && *LeftValue && *RightValue && (*RightValue)->Equals(*LeftValue);
  }
  return IsNegated() ? !Equal : Equal;
}

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

namespace {

// A group of FixTests: consecutive tests of one slot with the same sub-index.
struct TTestGroup {
  int32_t Begin;
  int32_t End;  // one past the last test
  bool Disjunctive;
};

std::vector<TTestGroup> GroupsOf(const TSlotTests& Tests) {
  std::vector<TTestGroup> Groups;
  for (int32_t I = 0; I < Tests.Count(); ++I) {
    const TIEPatternMatchTest* Test = Tests.Get(I);
    if (Groups.empty() ||
        Tests.Get(Groups.back().Begin)->GetMultiSlotSubIndex() != Test->GetMultiSlotSubIndex())
      Groups.push_back(TTestGroup{I, I, false});
    Groups.back().End = I + 1;
    if (!Test->GetConjunction()) Groups.back().Disjunctive = true;
  }
  return Groups;
}

// The group's first test stands for the field when it binds a variable: a plain (not negated) variable.
bool BindsField(const TIEPatternMatchTest& Test) {
  const IIEValue& Value = Test.GetSlotValue();
  return !Test.IsNegated() && Value && Value->GetDType() == dtVariable;
}

}  // namespace

void TIEPattern::FixTests() {
  if (FDisjunctiveCount <= 0) return;
  TRule* Rule = dynamic_cast<TRule*>(FOwner);
  if (!Rule) {
    for (const TPatternSlot& Slot : FSlots) {
      if (!Slot.Tests) continue;
      for (const TTestGroup& Group : GroupsOf(*Slot.Tests))
        if (Group.Disjunctive && !BindsField(*Slot.Tests->Get(Group.Begin))) throw EIEException(SNoRule);
    }
  }
  IRuleEngine* Reasoner = Engine();
  struct TNewBinding {
    std::string Name;
    std::string Slot;
    int32_t SubIndex;
  };
  std::vector<TNewBinding> NewBindings;
  // The rewritten lists are built first and put in place only when everything is ready, so that a failure
  // leaves the pattern as it was.
  std::vector<std::pair<size_t, std::vector<std::unique_ptr<TIEPatternMatchTest>>>> Rewritten;
  for (size_t S = 0; S < FSlots.size(); ++S) {
    const TPatternSlot& Slot = FSlots[S];
    if (!Slot.Tests) continue;
    const std::vector<TTestGroup> Groups = GroupsOf(*Slot.Tests);
    if (std::none_of(Groups.begin(), Groups.end(), [](const TTestGroup& G) { return G.Disjunctive; }))
      continue;
    std::vector<std::unique_ptr<TIEPatternMatchTest>> Tests;
    for (const TTestGroup& Group : Groups) {
      if (!Group.Disjunctive) {
        for (int32_t I = Group.Begin; I < Group.End; ++I)
          Tests.push_back(CreatePatternMatchTest(*Slot.Tests->Get(I)));
        continue;
      }
      const int32_t SubIndex = Slot.Tests->Get(Group.Begin)->GetMultiSlotSubIndex();
      int32_t First = Group.Begin;
      IIEValue SlotVariable;
      if (BindsField(*Slot.Tests->Get(First))) {
        SlotVariable = Slot.Tests->Get(First)->GetSlotValue()->Clone();
        ++First;
      } else {
        std::string Name;
        if (Reasoner) {
          Name = Reasoner->GenerateSymbol(SBlankPrefix);
        } else {
          // Without an engine the placeholder is numbered after the rule's bindings.
          int32_t Number = Rule->GetBindingCount() + static_cast<int32_t>(NewBindings.size());
          do {
            Name = SBlankPrefix + std::to_string(++Number);
          } while (Rule->IndexOfBinding(Name) >= 0 ||
                   std::any_of(NewBindings.begin(), NewBindings.end(),
                               [&](const TNewBinding& B) { return B.Name == Name; }));
        }
        NewBindings.push_back(TNewBinding{Name, Slot.Name, SubIndex});
        SlotVariable = MakeRef<TIEValue>(Name, dtVariable);
      }
      Tests.push_back(CreatePatternMatchTest(sttEquals, SubIndex, SlotVariable));
      if (First == Group.End) continue;
      IFunCall Or = MakeRef<TFunctionCall>(Reasoner, "or");
      for (int32_t I = First; I < Group.End;) {
        int32_t RunEnd = I + 1;
        while (RunEnd < Group.End && Slot.Tests->Get(RunEnd)->GetConjunction()) ++RunEnd;
        if (RunEnd - I == 1) {
          Or->AddArgument(Slot.Tests->Get(I)->ConvertToFunCall(Reasoner, SlotVariable));
        } else {
          IFunCall And = MakeRef<TFunctionCall>(Reasoner, "and");
          for (int32_t J = I; J < RunEnd; ++J)
            And->AddArgument(Slot.Tests->Get(J)->ConvertToFunCall(Reasoner, SlotVariable));
          Or->AddArgument(And);
        }
        I = RunEnd;
      }
      Tests.push_back(CreatePatternMatchTest(sttEquals, SubIndex, MakeRef<TIEValue>(TRef<TFunCallBase>(Or))));
    }
    Rewritten.emplace_back(S, std::move(Tests));
  }

  BeginUpdate();
  try {
    if (Rule)
      for (const TNewBinding& Binding : NewBindings)
        Rule->AddBinding(Binding.Name, Rule->IndexOfPattern(this), Binding.Slot, Binding.SubIndex);
    for (auto& [S, Tests] : Rewritten) {
      TSlotTests& List = *FSlots[S].Tests;
      List.Clear();
      for (auto& Test : Tests) List.Add(std::move(Test));
    }
  } catch (...) {
    --FUpdateCount;
    throw;
  }
  EndUpdate();
}

std::string TIEPattern::GetToString() const {
  if (FFactTemplate)
    if (auto* Owner = dynamic_cast<IRuleEngine*>(FFactTemplate->GetOwner())) return Owner->PrettyPrint(*this);
  return PrettyPrintPattern(*this);
}

}  // namespace rulecraft
