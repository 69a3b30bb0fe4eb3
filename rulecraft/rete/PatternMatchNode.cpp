#include "rulecraft/rete/PatternMatchNode.h"

#include <algorithm>
#include <utility>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/rete/NodeSupport.h"
#include "rulecraft/rete/ReteNetwork.h"

namespace rulecraft {

const TEnumInfo& TPatternMatchTestInfo() {
  static const TEnumInfo Info(
      "TPatternMatchTest",
      {"pmtUnknown", "pmtTestClassType", "pmtTestEqual", "pmtTestNotEqual", "pmtTestSlotValueEqual",
       "pmtTestSlotValueNotEqual", "pmtTestMultiSlotEqual", "pmtTestMultiSlotNotEqual",
       "pmtTestMultiSlotLength", "pmtTestMultiSlotMultiField", "pmtFailTest"});
  return Info;
}

namespace {

// Fuzzy matching hook. The degree (0..1) to which the fuzzy value Fuzzy matches Other, once Equals has
// accepted the pair: a fuzzy set against another set is their compatibility (the height of their
// intersection), against a number its membership, against a term name the compatibility with that term of the
// set's variable. Any other pair that Equals accepted matches fully. The fuzzy-inference work refines the
// comparison itself (Equals); the strength logic that uses this degree lives in
// TPatternMatchNode::CallChildren.
double FuzzyMatchDegree(const TIEValue& Fuzzy, const TIEValue& Other) {
  const IFuzzySet Set = Fuzzy.GetAsFuzzy();
  if (!Set) return 1.0;
  switch (Other.GetDType()) {
    case dtFuzzy: {
      const IFuzzySet OtherSet = Other.GetAsFuzzy();
      return OtherSet ? Set->FuzzyEquals(*OtherSet) : 0.0;
    }
    case dtInteger:
    case dtFloat:
      return Set->DegreeOfMembership(Other.GetAsNumeric());
    case dtAtom:
    case dtString:
      if (TIFuzzyVariable* Variable = Set->GetVariable())
        if (const IFuzzySet Term = Variable->FindFuzzySet(Other.Text())) return Set->FuzzyEquals(*Term);
      return 1.0;
    default:
      return 1.0;
  }
}

// The split key of a token split again at position K with a run of Length fields.
uint32_t MixSplitKey(uint32_t Key, int32_t K, int32_t Length) noexcept {
  uint32_t H = (Key ^ 0x9E3779B9u) + static_cast<uint32_t>(K) * 0x27D4EB2Fu + static_cast<uint32_t>(Length);
  H *= 0x85EBCA6Bu;
  H ^= H >> 13;
  H *= 0xC2B2AE35u;
  return H ^ (H >> 16);
}

// A template chain is followed at most this far, so a parent loop cannot hang the class test.
constexpr int MaxTemplateAncestry = 1000;

}  // namespace

bool SameTestValue(const IIEValue& A, const IIEValue& B) {
  if (!A || !B) return !A && !B;
  if (A->GetDType() != dtFuzzy && B->GetDType() != dtFuzzy) return A->Equals(B);
  if (A->GetDType() != B->GetDType()) return false;
  const IFuzzySet SetA = A->GetAsFuzzy();
  const IFuzzySet SetB = B->GetAsFuzzy();
  if (!SetA || !SetB) return !SetA && !SetB;
  return SetA->GetVariable() == SetB->GetVariable() && SetA->TIFuzzySet::Equals(SetB.get());
}

TPatternMatchNode::TPatternMatchNode(TReteNetwork* Network, TPatternMatchTest Test, TNodeArgs Args,
                                     IIEValue Value)
    : TReteNode(Network), FValue(std::move(Value)), FArgs(std::move(Args)), FTest(Test) {
  FValueIsCall = FValue && FValue->GetDType() == dtFunCall;
  auto Text = [this](size_t I) { return I < FArgs.size() ? FArgs[I].AsText() : std::string(); };
  auto Number = [this](size_t I) {
    return I < FArgs.size() && !FArgs[I].IsText() ? FArgs[I].AsInteger() : NoSubIndex;
  };
  switch (FTest) {
    case pmtTestClassType:
      FSlot = FValue ? FValue->GetToString() : std::string();  // the template name
      break;
    case pmtTestSlotValueEqual:
    case pmtTestSlotValueNotEqual:
      FSlot = Text(0);
      FOtherSlot = Text(1);
      FIndex = Number(2);
      FOtherIndex = Number(3);
      break;
    default:
      FSlot = Text(0);
      FIndex = Number(1);
      break;
  }
}

bool TPatternMatchNode::Matches(TPatternMatchTest Test, const TNodeArgs& Args, const IIEValue* Value) const {
  if (Test != FTest || Args != FArgs) return false;
  if (!Value) return true;
  return SameTestValue(FValue, *Value);
}

void TPatternMatchNode::LimitSplit(const TSplitLimits& Limits) {
  if (!FLimited) {
    FLimits = Limits;
    FLimited = true;
    return;
  }
  FLimits.LeastRest = std::min(FLimits.LeastRest, Limits.LeastRest);
  FLimits.MostRest = std::max(FLimits.MostRest, Limits.MostRest);
  if (FLimits.FirstSlot != Limits.FirstSlot || FLimits.FirstIndex != Limits.FirstIndex) {
    FLimits.FirstSlot.clear();
    FLimits.FirstIndex = NoSubIndex;
  }
}

bool TPatternMatchNode::GetEqualityConstant(const std::string*& Slot, const TIEValue*& Value) const {
  if (FTest != pmtTestEqual || FValueIsCall || !FValue || FIndex != NoSubIndex) return false;
  Slot = &FSlot;
  Value = FValue.get();
  return true;
}

bool TPatternMatchNode::IsClassOf(const TFactTemplate* Template) const {
  for (int Hops = 0; Template && Hops < MaxTemplateAncestry; ++Hops) {
    if (Template->GetTemplateName() == FSlot) return true;
    Template = Template->GetParent().get();
  }
  return false;
}

bool TPatternMatchNode::CallNode(const IReteToken& Token, TCallType CallType) {
  (void)CallType;
  if (!Token) return false;
  if (Token->GetTag() == taClear) {
    CallChildren(Token);
    return true;
  }
  const IFact& F = Token->GetFact();
  if (!F || !F->GetTemplate()) return false;
  switch (FTest) {
    case pmtTestClassType:
      if (!IsClassOf(F->GetTemplate().get())) return false;
      CallChildren(Token);
      return true;

    case pmtTestEqual:
    case pmtTestNotEqual: {
      const bool Negate = FTest == pmtTestNotEqual;
      if (FValueIsCall) return PassCall(Token, F, Negate);
      const IIEValue Slot = F->ContainsKey(FSlot);
      if (!Slot) return false;
      return CallChildren(Token, Slot, FValue, Negate);
    }

    case pmtTestSlotValueEqual:
    case pmtTestSlotValueNotEqual: {
      const IIEValue Left = FieldOf(*F, FSlot, FIndex);
      const IIEValue Right = FieldOf(*F, FOtherSlot, FOtherIndex);
      if (!Left || !Right) return false;
      return CallChildren(Token, Left, Right, FTest == pmtTestSlotValueNotEqual);
    }

    case pmtTestMultiSlotEqual:
    case pmtTestMultiSlotNotEqual: {
      const bool Negate = FTest == pmtTestMultiSlotNotEqual;
      const IIEValue Slot = F->ContainsKey(FSlot);
      if (!Slot || Slot->GetDType() != dtList) return false;
      const IValueVector List = Slot->GetAsList();
      if (!List || FIndex < 0 || FIndex >= List->GetValueCount()) return false;
      if (FValueIsCall) return PassCall(Token, F, Negate);
      const IIEValue& Item = List->Get(FIndex);
      if (!Item) return false;
      return CallChildren(Token, Item, FValue, Negate);
    }

    case pmtTestMultiSlotLength: {
      const IIEValue Slot = F->ContainsKey(FSlot);
      if (!Slot || Slot->GetDType() != dtList) return false;
      const IValueVector List = Slot->GetAsList();
      if ((List ? List->GetValueCount() : 0) != FIndex) return false;
      CallChildren(Token);
      return true;
    }

    case pmtTestMultiSlotMultiField:
      return SplitMultiField(Token, *F);

    case pmtFailTest:
    case pmtUnknown:
    default:
      return false;
  }
}

bool TPatternMatchNode::PassCall(const IReteToken& Token, const IFact& Fact, bool Negate) {
  // A removal follows the path its addition took: the call is not asked again (it may read globals that
  // changed meanwhile); the nodes below ignore what they do not hold.
  if (Token->GetTag() == taRemove) {
    CallChildren(Token);
    return true;
  }
  const IIEValue Result = Evaluate(FValue, Token, Fact);
  const bool Pass = IsFalseAtom(Result) == Negate;
  if (Pass) CallChildren(Token);
  return Pass;
}

// A multifield variable at position k of a slot holding N fields matches any run of fields from k on: one
// copy of the fact per run length, longest first, whose slot holds the fields before k, the run as one nested
// list, then the fields after the run. Later tests of the pattern address positions in that regrouped list.
// Only lengths the later tests can accept are tried (FLimits): the pattern's fixed slot length leaves the run
// a range of lengths (one when no multifield variable follows in the slot), and a variable already split
// earlier in the pattern must repeat that run, so it takes its length, and a run that differs makes no copy.
// Each split's token carries the key of the runs that made it, so that equal splits, and only they, meet.
bool TPatternMatchNode::SplitMultiField(const IReteToken& Token, TFact& Fact) {
  const IIEValue Slot = Fact.ContainsKey(FSlot);
  if (!Slot) return false;
  if (Slot->Equals(FCNil)) {
    CallChildren(Token);
    return true;
  }
  if (Slot->GetDType() != dtList) return false;
  const IValueVector List = Slot->GetAsList();
  const int32_t N = List ? List->GetValueCount() : 0;
  const int32_t K = FIndex < 0 ? 0 : FIndex;
  if (K > N) return false;
  // In 64 bits: the limits may lie far outside the slot.
  int32_t Longest = static_cast<int32_t>(std::min<int64_t>(N - K, int64_t{N} - FLimits.LeastRest));
  int32_t Shortest = static_cast<int32_t>(std::max<int64_t>(0, int64_t{N} - FLimits.MostRest));
  IIEValue First;
  if (!FLimits.FirstSlot.empty()) {
    First = FieldOf(Fact, FLimits.FirstSlot, FLimits.FirstIndex);
    if (First && First->GetDType() == dtList) {
      const IValueVector Run = First->GetAsList();
      const int32_t Known = Run ? Run->GetValueCount() : 0;
      Longest = std::min(Longest, Known);
      Shortest = std::max(Shortest, Known);
    } else {
      First = IIEValue();  // not a run (an empty slot passed on whole): every length, as for a new variable
    }
  }
  for (int32_t Length = Longest; Length >= Shortest; --Length) {
    IValueVector Run = MakeRef<TValueVector>();
    for (int32_t I = K; I < K + Length; ++I) Run->Add(List->Get(I));
    IIEValue RunValue = MakeRef<TIEValue>(Run);
    if (First && !First->Equals(RunValue)) continue;  // the comparison after the split would refuse it
    IValueVector Regrouped = MakeRef<TValueVector>();
    for (int32_t I = 0; I < K; ++I) Regrouped->Add(List->Get(I));
    Regrouped->Add(std::move(RunValue));
    for (int32_t I = K + Length; I < N; ++I) Regrouped->Add(List->Get(I));
    // The copy's slot value is a fresh value object of its own: regroup it in place (no slot type check: a
    // nested list is what the pattern's later tests expect here).
    IFact Copy = Fact.Clone();
    IIEValue CopySlot = Copy->ContainsKey(FSlot);
    CopySlot->SetAsList(Regrouped);
    IReteToken Split = MakeRef<TIEToken>(Token->GetTag(), Copy);
    Split->SetStrength(Token->GetStrength());
    Split->SetSplitKey(MixSplitKey(Token->GetSplitKey(), K, Length));
    CallChildren(Split);
  }
  return true;
}

bool TPatternMatchNode::CallChildren(const IReteToken& Token, const IIEValue& Left, const IIEValue& Right,
                                     bool Negate) {
  if (!Left || !Right) return false;
  if (Left->Equals(Right) == Negate) return false;
  const bool LeftFuzzy = Left->GetDType() == dtFuzzy;
  if (!LeftFuzzy && Right->GetDType() != dtFuzzy) {
    CallChildren(Token);
    return true;
  }
  // A fuzzy comparison: the token goes on at most as strong as the degree of the match.
  const double Degree = LeftFuzzy ? FuzzyMatchDegree(*Left, *Right) : FuzzyMatchDegree(*Right, *Left);
  if (Token->GetStrength() <= Degree) {
    CallChildren(Token);
    return true;
  }
  // A removal goes on whatever the lowest strength is now: the strength check belongs to the addition.
  if (Degree >= GetNetwork()->GetMinActivationStrength() || Token->GetTag() == taRemove) {
    IReteToken Weaker = MakeRef<TIEToken>(Token);
    Weaker->SetStrength(static_cast<float>(Degree));
    CallChildren(Weaker);
    return true;
  }
  return false;
}

std::string TPatternMatchNode::GetToString() const {
  std::string Text = TReteNode::GetToString();
  if (FValue) Text += " Value: " + FValue->GetToString();
  Text += " Test: ";
  Text += TPatternMatchTestInfo().Name(FTest);
  if (!FArgs.empty()) {
    Text += " Args: (";
    for (size_t I = 0; I < FArgs.size(); ++I) {
      if (I > 0) Text += ", ";
      Text += FArgs[I].ToString();
    }
    Text += ")";
  }
  return Text;
}

}  // namespace rulecraft
