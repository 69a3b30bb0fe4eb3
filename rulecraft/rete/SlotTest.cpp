// The tests of a pattern's slots and how they match while tokens flow: a pattern-match test compares a slot
// with a value or runs a call on one fact, a join test compares a slot of the fact with one of a partial
// match.
#include <memory>
#include <string>

#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/TokenBase.h"
#include "rulecraft/rete/NodeSupport.h"
#include "rulecraft/rete/Pattern.h"

namespace rulecraft {

namespace {

IIEValue CloneValue(const IIEValue& Value) { return Value ? Value->Clone() : IIEValue(); }

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
         SameTestValue(FSlotValue, Test.FSlotValue);
}

bool TIEPatternMatchTest::Equals(bool Negated, bool Conjunction, int32_t SubIndex,
                                 const IIEValue& Value) const {
  return FConjunction == Conjunction && Equals(Negated, SubIndex, Value);
}

bool TIEPatternMatchTest::Equals(bool Negated, int32_t SubIndex, const IIEValue& Value) const {
  return IsNegated() == Negated && FMultiSlotSubIndex == SubIndex && SameTestValue(FSlotValue, Value);
}

bool TIEPatternMatchTest::PerformTest(TIEContext* Context) {
  IIEValue Result;
  if (FSlotValue) {
    IIEValue Value = FSlotValue;  // the call may replace this test's value while it runs
    Value->Resolve(Context, Result);
  }
  return IsFalseAtom(Result) == IsNegated();
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
    : TIESlotTest(Type),
      FLeftReader(LeftSlot),
      FRightReader(RightSlot),
      FRightSlot(RightSlot),
      FLeftSlot(LeftSlot),
      FTokenIdx(TokenIdx) {}

TIEJoinTest::TIEJoinTest(TSlotTestType Type, const std::string& LeftSlot, int32_t LeftSubIndex,
                         const std::string& RightSlot, int32_t RightSubIndex, int32_t TokenIdx)
    : TIESlotTest(Type),
      FRightSubIndex(RightSubIndex),
      FLeftReader(LeftSlot),
      FRightReader(RightSlot),
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
    FLeftReader.SetName(FLeftSlot);
    FRightReader.SetName(FRightSlot);
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
  TFact* Left = Token.GetFacts(FTokenIdx).get();
  if (!Left) return true;
  return Compare(LeftValue(*Left), RightValue(Right));
}

}  // namespace rulecraft
