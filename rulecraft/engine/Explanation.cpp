// Explaining a rule's matches and a fact's origin.
//
// A rule's matches are worked out again from the network, not read from its memories (a test node keeps none,
// and a match that fired leaves no activation): each pattern's one-input chain is probed with every fact
// (TReteNetwork::ProbeChain runs the facts through the chain's own nodes and keeps what leaves each), then
// the partial matches are built position by position with the join nodes' own tests
// (TTestNode::PassingTests), following what the network builds: a positive join extends a partial match by
// each fact that passes, a negated one passes it extended by the placeholder when nothing blocks it (when
// something does, for an even count such as exists), a test node when its calls pass, and a negated
// conjunction compares the chain of its members with the partial match before it. Nothing is stored in the
// network and no activation is made.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/rete/ReteNode.h"

namespace rulecraft {

namespace {

using TMatches = std::vector<IReteToken>;

// At most this many identifiers are printed for one pattern or one list of blocking facts.
constexpr size_t MaxPrintedIds = 10;

bool IsPlaceholder(const TFact& Fact) {
  return Fact.GetTemplate() && Fact.GetTemplate()->GetTemplateName() == SNullFact;
}

// The identifiers of a partial match's facts from the first pattern on, placeholders left out.
std::vector<int32_t> FactIdsOf(const TIEToken* Token) {
  std::vector<int32_t> Ids;
  for (; Token; Token = Token->GetParentObject())
    if (const IFact& Fact = Token->GetFact(); Fact && !IsPlaceholder(*Fact)) Ids.push_back(Fact->GetID());
  std::reverse(Ids.begin(), Ids.end());
  return Ids;
}

std::string IdText(int32_t Id) { return "f-" + std::to_string(Id); }

// "f-1, f-4, f-9", the first MaxPrintedIds of them and then how many more.
std::string IdList(const std::vector<int32_t>& Ids, const char* Separator) {
  std::string Text;
  for (size_t I = 0; I < Ids.size() && I < MaxPrintedIds; ++I) Text += (I ? Separator : "") + IdText(Ids[I]);
  if (Ids.size() > MaxPrintedIds) Text += " and " + std::to_string(Ids.size() - MaxPrintedIds) + " more";
  return Text;
}

std::string Plural(size_t Count, const char* One, const char* Many) {
  return std::to_string(Count) + " " + (Count == 1 ? One : Many);
}

// How a person names a slot, or one field of it: "status", "tags field 2", "field 1" of an ordered fact,
// "the fact" for an ordered fact's whole content.
std::string PlaceName(const std::string& Slot, int32_t SubIndex) {
  const bool Ordered = Slot == SDefaultSlotName;
  if (SubIndex == NoSubIndex) return Ordered ? std::string("the fact") : Slot;
  return (Ordered ? std::string() : Slot + " ") + "field " + std::to_string(SubIndex + 1);
}

// A pattern's text with the wildcards as written: the reader names each ? and $? (?_blank_2, $?_blank_$3),
// and the printer writes those names.
std::string WrittenText(std::string Text) {
  const std::string Blank = std::string("?") + SBlankPrefix;
  for (size_t At = Text.find(Blank); At != std::string::npos; At = Text.find(Blank, At + 1)) {
    size_t End = At + Blank.size();
    if (End < Text.size() && Text[End] == '$') ++End;
    const size_t Digits = End;
    while (End < Text.size() && std::isdigit(static_cast<unsigned char>(Text[End]))) ++End;
    if (End == Digits || (End < Text.size() && !std::strchr(" )&|~", Text[End]))) continue;
    Text.replace(At + 1, End - At - 1, "");
  }
  return Text;
}

std::string ValueText(const IIEValue& Value) { return Value ? Value->GetToString() : std::string("nil"); }

// The slot's value, narrowed to the field at SubIndex; empty when the fact has no such slot or field.
IIEValue FieldValue(TFact& Fact, const std::string& Slot, int32_t SubIndex) {
  IIEValue Value = Fact.ContainsKey(Slot);
  if (SubIndex == NoSubIndex || !Value) return Value;
  if (Value->GetDType() != dtList) return IIEValue();
  const IValueVector List = Value->GetAsList();
  if (!List || SubIndex < 0 || SubIndex >= List->GetValueCount()) return IIEValue();
  return List->Get(SubIndex);
}

// The variables a call reads (nested calls included), each once, in the order written.
void CallVariables(const IIEValue& Value, std::vector<IIEValue>& Variables, int Depth = 0) {
  if (!Value || Depth > 2000) return;
  const TIEType Kind = Value->GetDType();
  if (Kind == dtVariable || Kind == dtMultiVariable) {
    const bool Known = std::any_of(Variables.begin(), Variables.end(),
                                   [&Value](const IIEValue& Seen) { return Seen->Text() == Value->Text(); });
    if (!Known) Variables.push_back(Value);
  } else if (Kind == dtFunCall) {
    if (const IFunCall Call = Value->GetAsFunCall())
      for (const IIEValue& Argument : Call->GetArguments()) CallVariables(Argument, Variables, Depth + 1);
  }
}

/// Works out the matches of one alternative of a rule.
class TExplainer {
 public:
  TExplainer(TInferenceEngine& Engine, const TRule& Rule, const std::string& RuleName)
      : FEngine(Engine),
        FRule(Rule),
        FRuleName(RuleName),
        FLayout(Engine.GetNetwork().GetRuleLayout(&Rule)),
        FGeneration(Engine.GetNetwork().GetGeneration()) {}

  TAlternativeMatches Explain() {
    TAlternativeMatches Out;
    const int32_t Count = FRule.GetPatternCount();
    // A rule changed inside an update bracket is not compiled again until the bracket closes.
    if (FLayout && FLayout->Chains.size() != static_cast<size_t>(Count)) FLayout = nullptr;
    FPassed.assign(static_cast<size_t>(Count), {});
    FPartial.assign(static_cast<size_t>(Count), {});
    for (int32_t I = 0; I < Count; ++I) {
      const TIEPattern& Pattern = *FRule.GetPattern(I);
      TPatternMatches Entry;
      Entry.Text = WrittenText(Pattern.GetToString());
      Entry.NegatedCount = Pattern.GetNegatedCount();
      Entry.Test = Pattern.GetName() == STestCE;
      if (Pattern.GetGroupSize() > 0) {
        Entry.GroupFirst = I - Pattern.GetGroupIndex();
        Entry.GroupSize = Pattern.GetGroupSize();
        Entry.GroupNegation = Pattern.GetGroupNegation();
      }
      if (FLayout && !Entry.Test) {
        FEngine.GetNetwork().ProbeChain(FLayout->Chains[static_cast<size_t>(I)],
                                        FPassed[static_cast<size_t>(I)]);
        std::set<int32_t> Ids;
        for (const IReteToken& Token : Alpha(I)) Ids.insert(Token->GetFact()->GetID());
        Entry.FactIds.assign(Ids.begin(), Ids.end());
      }
      Out.Patterns.push_back(std::move(Entry));
    }
    if (!FLayout || Count == 0) return Out;
    for (int32_t I = 0; I < Count; ++I) {
      Build(I);
      const TIEPattern& Pattern = *FRule.GetPattern(I);
      const bool Inner = Pattern.GetGroupSize() > 0 && Pattern.GetGroupIndex() < Pattern.GetGroupSize() - 1;
      if (I > 0 && !Inner)
        Out.Joins.push_back({I, static_cast<int32_t>(FPartial[static_cast<size_t>(I)].size())});
    }
    Out.Matches = static_cast<int32_t>(FPartial.back().size());
    Out.Activations = FLayout->Terminal ? FLayout->Terminal->GetActivationCount() : 0;
    return Out;
  }

  /// Where matching stops (the rule has no activation).
  TMatchStop Stop(const TAlternativeMatches& Matches) {
    TMatchStop Out;
    const TRule& Owner = FRule.GetPrimary() ? *FRule.GetPrimary() : FRule;
    if (!FLayout) {
      Out.Reason = "the rule is not compiled";
      return Out;
    }
    if (Matches.Matches > 0) {
      if (!Owner.GetEnabled())
        Out.Reason = "the rule is disabled";
      else if (Owner.GetOneShot() && Owner.GetFired())
        Out.Reason = "the rule fires once and has fired";
      else
        Out.Reason = Matches.Matches == 1
                         ? std::string("its one complete match has fired")
                         : "its " + std::to_string(Matches.Matches) + " complete matches have fired";
      return Out;
    }
    for (int32_t I = 0; I < FRule.GetPatternCount(); ++I) {
      const TIEPattern& Pattern = *FRule.GetPattern(I);
      const bool Grouped = Pattern.GetGroupSize() > 0;
      if (Grouped && Pattern.GetGroupIndex() < Pattern.GetGroupSize() - 1) continue;
      if (!FPartial[static_cast<size_t>(I)].empty()) continue;
      if (I == 0)
        ChainStop(I, Out);
      else if (Grouped)
        GroupStop(I, Out);
      else if (Pattern.GetName() == STestCE)
        TestStop(I, Out);
      else if (Pattern.IsNegated())
        BlockedStop(I, Out);
      else if (Alpha(I).empty())
        ChainStop(I, Out);
      else
        JoinStop(I, Out);
      break;
    }
    return Out;
  }

 private:
  const TMatches& Alpha(int32_t I) const {
    static const TMatches None;
    const auto& Passed = FPassed[static_cast<size_t>(I)];
    return Passed.empty() ? None : Passed.back();
  }

  const IFact& Null() { return FEngine.GetNullFact(); }

  /// The node's PassingTests. A call among the tests that changed the rules (compiled or removed one) may
  /// have freed the nodes and the rule this explanation reads: it stops at once.
  int32_t Passing(TTestNode& Node, const IReteToken& Left, const IFact& Right) {
    const int32_t Passed = Node.PassingTests(Left, Right);
    if (FEngine.GetNetwork().GetGeneration() != FGeneration) throw EIEException(std::string(SNetworkChanged));
    return Passed;
  }

  void Keep(TMatches& Out, IReteToken Token) {
    if (static_cast<int64_t>(Out.size()) >= MaxExplainedMatches)
      throw EIEException(STooManyPartialMatches, {FRuleName, MaxExplainedMatches});
    Out.push_back(std::move(Token));
  }

  /// The partial matches of the patterns 0..I, from those of 0..I-1.
  void Build(int32_t I) {
    TMatches& Out = FPartial[static_cast<size_t>(I)];
    if (I == 0) {
      for (const IReteToken& Token : Alpha(0)) Keep(Out, Token);
      return;
    }
    const TIEPattern& Pattern = *FRule.GetPattern(I);
    TTestNode* Node = FLayout->Joins[static_cast<size_t>(I)];
    const TMatches& Left = FPartial[static_cast<size_t>(I - 1)];
    if (!Node) return;
    const int32_t Tests = Node->GetTestCount();
    auto* Join = dynamic_cast<TJoinNode*>(Node);
    if (!Join) {  // a test element
      for (const IReteToken& L : Left)
        if (Passing(*Node, L, IFact()) == Tests) Keep(Out, MakeRef<TIEToken>(L, Null()));
    } else if (Pattern.GetNegatedCount() == 0) {
      for (const IReteToken& L : Left)
        for (const IReteToken& R : Alpha(I)) {
          if (Passing(*Join, L, R->GetFact()) != Tests) continue;
          IReteToken Joined = MakeRef<TIEToken>(L, R->GetFact());
          Joined->AddSplitKey(R->GetSplitKey());
          Joined->SetStrength(std::min(L->GetStrength(), R->GetStrength()));
          Keep(Out, std::move(Joined));
          if (Join->GetUnique()) break;
        }
    } else {
      for (const IReteToken& L : Left) {
        const bool Blocked = std::any_of(Alpha(I).begin(), Alpha(I).end(), [&](const IReteToken& R) {
          return Passing(*Join, L, R->GetFact()) == Tests;
        });
        // Each further negation level passes exactly what the level below blocked.
        if (Blocked != Pattern.IsNegated()) Keep(Out, MakeRef<TIEToken>(L, Null()));
      }
    }
    const int32_t Size = Pattern.GetGroupSize();
    if (Size > 0 && Pattern.GetGroupIndex() == Size - 1) {
      // The members' chain against the partial matches before the conjunction.
      TMatches Chain = std::move(Out);
      Out.clear();
      for (const IReteToken& L : FPartial[static_cast<size_t>(I - Size)]) {
        const bool Matched = !!ExtendingMatch(Chain, L, Size);
        if (Matched == ((Pattern.GetGroupNegation() & 1) == 0)) {
          IReteToken Padded = L;
          for (int32_t Level = 0; Level < Size; ++Level) Padded = MakeRef<TIEToken>(Padded, Null());
          Keep(Out, std::move(Padded));
        }
      }
      FGroupChains.emplace_back(I, std::move(Chain));
    }
  }

  /// The first match of Chain whose ancestor Depth levels up is L.
  static const TIEToken* ExtendingMatch(const TMatches& Chain, const IReteToken& L, int32_t Depth) {
    for (const IReteToken& Token : Chain) {
      const TIEToken* Ancestor = Token.get();
      for (int32_t Level = 0; Level < Depth && Ancestor; ++Level) Ancestor = Ancestor->GetParentObject();
      if (Ancestor == L.get()) return Token.get();
    }
    return nullptr;
  }

  /// "?x = 3, ?y = 4": the variables of Call bound in the partial match Token (before position Before), or in
  /// Fact at position Own.
  std::string VariableValues(const IIEValue& Call, const TIEToken* Token, int32_t Before, TFact* Fact,
                             int32_t Own) {
    std::vector<IIEValue> Variables;
    CallVariables(Call, Variables);
    std::string Text;
    for (const IIEValue& Variable : Variables) {
      const TBinding* Binding = FRule.GetBindingByName(Variable->Text());
      if (!Binding) continue;
      TFact* Source = nullptr;
      if (Fact && Binding->GetFactIndex() == Own)
        Source = Fact;
      else if (Token && Binding->GetFactIndex() < Before)
        Source = Token->GetFacts(Binding->GetFactIndex()).get();
      if (!Source || IsPlaceholder(*Source)) continue;
      const std::string Value =
          Binding->GetSlotIndex() == SPatternBinding
              ? IdText(Source->GetID())
              : ValueText(FieldValue(*Source, Binding->GetSlotIndex(), Binding->GetSubIndex()));
      Text += (Text.empty() ? "" : ", ") + Variable->GetToString() + " = " + Value;
    }
    return Text;
  }

  std::string CallFailed(const IIEValue& Call, const std::string& Values) {
    return ValueText(Call) + " failed" + (Values.empty() ? std::string() : " with " + Values);
  }

  /// No fact passes the pattern's own tests: the first node of its chain that nothing leaves.
  void ChainStop(int32_t I, TMatchStop& Out) {
    Out.Pattern = I;
    const auto& Chain = FLayout->Chains[static_cast<size_t>(I)];
    const auto& Passed = FPassed[static_cast<size_t>(I)];
    size_t K = 0;
    while (K < Passed.size() && !Passed[K].empty()) ++K;
    const TIEPattern& Pattern = *FRule.GetPattern(I);
    if (K == 0 || K >= Chain.size()) {
      Out.Reason = "no " + Pattern.GetName() + " fact";
      return;
    }
    // The closest fact: the first that reached the node.
    const IReteToken& Closest = Passed[K - 1].front();
    TFact& Fact = *Closest->GetFact();
    Out.ClosestMatch = {Fact.GetID()};
    const TPatternMatchNode& Node = *Chain[K].Node;
    const IIEValue& Source = Chain[K].Source;
    const TNodeArgs& Args = Node.GetArgs();
    auto Text = [&Args](size_t A) { return A < Args.size() ? Args[A].AsText() : std::string(); };
    auto Number = [&Args](size_t A) {
      return A < Args.size() && !Args[A].IsText() ? Args[A].AsInteger() : NoSubIndex;
    };
    switch (Node.GetPatternMatchTest()) {
      case pmtTestEqual:
      case pmtTestNotEqual:
      case pmtTestMultiSlotEqual:
      case pmtTestMultiSlotNotEqual: {
        if (Source && Source->GetDType() == dtFunCall) {
          Out.Reason = CallFailed(Source, VariableValues(Source, nullptr, 0, &Fact, I));
          break;
        }
        const std::string Place = PlaceName(Text(0), Number(1));
        const std::string Has = ValueText(FieldValue(Fact, Text(0), Number(1)));
        const bool Negated = Node.GetPatternMatchTest() == pmtTestNotEqual ||
                             Node.GetPatternMatchTest() == pmtTestMultiSlotNotEqual;
        Out.Reason = Negated ? Place + " may not be " + Has
                             : Place + " is " + Has + ", not " + ValueText(Node.GetValue());
        break;
      }
      case pmtTestSlotValueEqual:
      case pmtTestSlotValueNotEqual: {
        const std::string First = PlaceName(Text(0), Number(2));
        const std::string Second = PlaceName(Text(1), Number(3));
        const std::string FirstValue = ValueText(FieldValue(Fact, Text(0), Number(2)));
        const std::string SecondValue = ValueText(FieldValue(Fact, Text(1), Number(3)));
        Out.Reason = Node.GetPatternMatchTest() == pmtTestSlotValueEqual
                         ? First + " is " + FirstValue + " but " + Second + " is " + SecondValue
                         : First + " and " + Second + " are both " + FirstValue;
        break;
      }
      case pmtTestMultiSlotLength: {
        const IIEValue Value = Fact.ContainsKey(Text(0));
        const IValueVector List = Value && Value->GetDType() == dtList ? Value->GetAsList() : IValueVector();
        Out.Reason = PlaceName(Text(0), NoSubIndex) + " holds " +
                     Plural(static_cast<size_t>(List ? List->GetValueCount() : 0), "field", "fields") +
                     ", not " + std::to_string(Number(1));
        break;
      }
      case pmtTestMultiSlotMultiField:
        Out.Reason = PlaceName(Text(0), NoSubIndex) + " holds too few fields";
        break;
      default:
        Out.Reason = "its tests fail";
        break;
    }
  }

  /// The partial match of Left that passes the most of the join's tests with some fact of the pattern: the
  /// match and how many tests it passes (the first match among equals).
  std::pair<const IReteToken*, int32_t> Closest(const TMatches& Left, TTestNode& Node,
                                                const TMatches* Right) {
    const IReteToken* Best = nullptr;
    int32_t Most = -1;
    for (const IReteToken& L : Left) {
      int32_t Got = -1;
      if (!Right) {
        Got = Passing(Node, L, IFact());
      } else {
        for (const IReteToken& R : *Right) Got = std::max(Got, Passing(Node, L, R->GetFact()));
      }
      if (Got > Most) {
        Most = Got;
        Best = &L;
      }
    }
    return {Best, Most};
  }

  /// A positive (or doubly negated) pattern whose facts pair with no partial match.
  void JoinStop(int32_t I, TMatchStop& Out) {
    Out.Pattern = I;
    TTestNode& Node = *FLayout->Joins[static_cast<size_t>(I)];
    const auto [Best, Failing] = Closest(FPartial[static_cast<size_t>(I - 1)], Node, &Alpha(I));
    if (!Best || Failing < 0 || Failing >= Node.GetTestCount()) {
      Out.Reason = "no fact matches";
      return;
    }
    const TIEToken& L = **Best;
    Out.ClosestMatch = FactIdsOf(&L);
    // The slot comparisons up to the one that failed (all of them when a call failed), with the values
    // the partial match wants.
    std::string Wanted;
    int32_t Calls = 0;
    for (int32_t T = 0; T < Node.GetTestCount() && T <= Failing; ++T) {
      const auto* Test = dynamic_cast<const TIEJoinTest*>(Node.GetTest(T));
      if (!Test) {
        ++Calls;
        continue;
      }
      TFact* Source = L.GetFacts(Test->GetTokenIdx()).get();
      const TIEValue* Value = Source ? Test->LeftValue(*Source) : nullptr;
      if (!Value) continue;
      Wanted += (Wanted.empty() ? "" : " and ") + PlaceName(Test->GetRightSlot(), Test->GetRightSubIndex()) +
                (Test->IsNegated() ? " other than " : " = ") + Value->GetToString();
    }
    if (dynamic_cast<const TIEJoinTest*>(Node.GetTest(Failing))) {
      Out.Reason = "none of its facts has " + Wanted;
    } else {
      const auto& Sources = FLayout->JoinCalls[static_cast<size_t>(I)];
      const size_t Call = static_cast<size_t>(Calls - 1);
      const IIEValue Source = Call < Sources.size() ? Sources[Call] : IIEValue();
      const std::string Values = VariableValues(Source, &L, I, nullptr, -1);
      Out.Reason = "none of its facts" + (Wanted.empty() ? std::string() : " with " + Wanted) + " passes " +
                   ValueText(Source) + (Values.empty() ? std::string() : " with " + Values);
    }
    // A fact of the template the pattern's own tests refused may be the one the user expected (not told for
    // a pattern that splits multislots, whose comparisons read the split fields).
    const auto& Chain = FLayout->Chains[static_cast<size_t>(I)];
    const bool Splits = std::any_of(Chain.begin(), Chain.end(), [](const TRuleLayout::TChainNode& Link) {
      return Link.Node->GetPatternMatchTest() == pmtTestMultiSlotMultiField;
    });
    const TMatches& Entered = Splits ? TMatches() : FPassed[static_cast<size_t>(I)].front();
    for (const IReteToken& Candidate : Entered)
      if (Passing(Node, *Best, Candidate->GetFact()) > Failing) {
        Out.Reason +=
            " (" + IdText(Candidate->GetFact()->GetID()) + " would, but fails the pattern's own tests)";
        break;
      }
  }

  /// A negated pattern that blocks every partial match: the first one and what blocks it.
  void BlockedStop(int32_t I, TMatchStop& Out) {
    Out.Pattern = I;
    const TMatches& Left = FPartial[static_cast<size_t>(I - 1)];
    if (Left.empty()) return;
    TTestNode& Node = *FLayout->Joins[static_cast<size_t>(I)];
    const IReteToken& L = Left.front();
    Out.ClosestMatch = FactIdsOf(L.get());
    std::set<int32_t> Blocking;
    for (const IReteToken& R : Alpha(I))
      if (Passing(Node, L, R->GetFact()) == Node.GetTestCount()) Blocking.insert(R->GetFact()->GetID());
    Out.Reason = "blocked by " + IdList(std::vector<int32_t>(Blocking.begin(), Blocking.end()), ", ");
  }

  /// A test element that fails for every partial match: the call that fails for the closest one.
  void TestStop(int32_t I, TMatchStop& Out) {
    Out.Pattern = I;
    TTestNode& Node = *FLayout->Joins[static_cast<size_t>(I)];
    const auto [Best, Failing] = Closest(FPartial[static_cast<size_t>(I - 1)], Node, nullptr);
    const auto& Sources = FLayout->JoinCalls[static_cast<size_t>(I)];
    if (!Best || Failing < 0 || static_cast<size_t>(Failing) >= Sources.size()) {
      Out.Reason = "its test fails";
      return;
    }
    Out.ClosestMatch = FactIdsOf(Best->get());
    const IIEValue& Source = Sources[static_cast<size_t>(Failing)];
    Out.Reason = CallFailed(Source, VariableValues(Source, Best->get(), I, nullptr, -1));
  }

  /// A negated conjunction ending at I that passes no partial match.
  void GroupStop(int32_t I, TMatchStop& Out) {
    const TIEPattern& Pattern = *FRule.GetPattern(I);
    const int32_t Size = Pattern.GetGroupSize();
    Out.Pattern = I - Size + 1;
    const TMatches& Left = FPartial[static_cast<size_t>(I - Size)];
    if (Left.empty()) return;
    const IReteToken& L = Left.front();
    Out.ClosestMatch = FactIdsOf(L.get());
    if ((Pattern.GetGroupNegation() & 1) == 0) {
      Out.Reason =
          "nothing matches patterns " + std::to_string(Out.Pattern + 1) + "-" + std::to_string(I + 1);
      return;
    }
    const TMatches* Chain = nullptr;
    for (const auto& [Last, Matches] : FGroupChains)
      if (Last == I) Chain = &Matches;
    const TIEToken* Blocking = Chain ? ExtendingMatch(*Chain, L, Size) : nullptr;
    std::vector<int32_t> Ids;
    for (const TIEToken* Token = Blocking; Token && Token != L.get(); Token = Token->GetParentObject())
      if (const IFact& Fact = Token->GetFact(); Fact && !IsPlaceholder(*Fact)) Ids.push_back(Fact->GetID());
    std::reverse(Ids.begin(), Ids.end());
    Out.Reason = "blocked by " + IdList(Ids, ", ");
  }

  TInferenceEngine& FEngine;
  const TRule& FRule;
  const std::string& FRuleName;
  const TRuleLayout* FLayout;
  uint32_t FGeneration;                                    // the network's when the explanation began
  std::vector<std::vector<TMatches>> FPassed;              // per position, per chain node: what left it
  std::vector<TMatches> FPartial;                          // per position: the partial matches of 0..position
  std::vector<std::pair<int32_t, TMatches>> FGroupChains;  // the members' chain of each negated conjunction
};

void AppendAlternative(const TAlternativeMatches& Matches, bool Stops, const std::string& Indent,
                       std::string& Text) {
  for (size_t I = 0; I < Matches.Patterns.size(); ++I) {
    const TPatternMatches& Pattern = Matches.Patterns[I];
    Text += Indent + "pattern " + std::to_string(I + 1) + " " + Pattern.Text;
    if (!Pattern.Test)
      Text += ": " + (Pattern.FactIds.empty() ? std::string("none") : IdList(Pattern.FactIds, " "));
    Text += NewLineString;
  }
  for (const TJoinMatches& Join : Matches.Joins)
    Text += Indent + "join 1-" + std::to_string(Join.Pattern + 1) + ": " +
            Plural(static_cast<size_t>(Join.PartialMatches), "partial match", "partial matches") +
            NewLineString;
  if (!Stops || Matches.Stop.Reason.empty()) return;
  const TMatchStop& Stop = Matches.Stop;
  if (Stop.Pattern < 0 || static_cast<size_t>(Stop.Pattern) >= Matches.Patterns.size()) {
    Text += Indent + Stop.Reason + NewLineString;
    return;
  }
  const TPatternMatches& At = Matches.Patterns[static_cast<size_t>(Stop.Pattern)];
  if (At.GroupSize > 0 && At.GroupFirst == Stop.Pattern &&
      static_cast<size_t>(Stop.Pattern + At.GroupSize) <= Matches.Patterns.size()) {
    // A negated conjunction, written out again from its members.
    std::string Members;
    for (int32_t I = Stop.Pattern; I < Stop.Pattern + At.GroupSize; ++I)
      Members += (Members.empty() ? "" : " ") + Matches.Patterns[static_cast<size_t>(I)].Text;
    std::string Group = "(and " + Members + ")";
    if (At.GroupNegation == 2)
      Group = "(exists " + Group + ")";
    else
      for (int32_t Level = 0; Level < At.GroupNegation; ++Level) Group = "(not " + Group + ")";
    Text += Indent + "stops at patterns " + std::to_string(Stop.Pattern + 1) + "-" +
            std::to_string(Stop.Pattern + At.GroupSize) + " " + Group;
  } else {
    Text += Indent + "stops at pattern " + std::to_string(Stop.Pattern + 1) + " " + At.Text;
  }
  if (!Stop.ClosestMatch.empty()) Text += " for " + IdList(Stop.ClosestMatch, ", ");
  Text += ": " + Stop.Reason + NewLineString;
}

}  // namespace

IFactOrigin MakeOrigin(const TActivation& Activation) {
  TRule* Rule = Activation.GetRule();
  // Counted first, then filled from the last pattern back: the record is the one block allocated.
  auto Counts = [](const TIEToken* Token) {
    return Token && Token->GetFact() && !IsPlaceholder(*Token->GetFact());
  };
  size_t Count = 0;
  for (const TIEToken* Token = Activation.GetToken().get(); Token; Token = Token->GetParentObject())
    Count += Counts(Token) ? 1 : 0;
  IFactOrigin Origin = MakeRef<TFactOrigin>(Rule ? Rule->GetNameValue() : IIEValue(), Count);
  for (const TIEToken* Token = Activation.GetToken().get(); Token; Token = Token->GetParentObject())
    if (Counts(Token)) Origin->SetFactId(--Count, Token->GetFact()->GetID());
  return Origin;
}

TRuleMatchReport TInferenceEngine::ExplainMatches(const std::string& RuleName) try {
  TRule* Rule = FRules->Get(RuleName);
  if (!Rule) throw EIEException(SUnknownRule, {RuleName});
  if (FNetwork->IsBusy() || FNetwork->IsMatching() || FResetDepth > 0)
    throw EIEException(std::string(SNetworkBusy));
  // The tests' calls may not clear the engine or remove rules or templates meanwhile (SEngineBusy).
  const TReteNetwork::TMatchingHold Holding(*FNetwork);
  TRuleMatchReport Report;
  Report.RuleName = Rule->GetRuleName();
  std::vector<TExplainer> Explainers;
  for (int32_t A = -1; A < Rule->GetAlternativeCount(); ++A) {
    Explainers.emplace_back(*this, A < 0 ? *Rule : *Rule->GetAlternative(A), Report.RuleName);
    Report.Alternatives.push_back(Explainers.back().Explain());
    Report.Activations += Report.Alternatives.back().Activations;
  }
  if (Report.Activations == 0)
    for (size_t A = 0; A < Explainers.size(); ++A)
      Report.Alternatives[A].Stop = Explainers[A].Stop(Report.Alternatives[A]);
  return Report;
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

std::string TInferenceEngine::MatchReportText(const TRuleMatchReport& Report) try {
  std::string Text = "Rule " + Report.RuleName + ": " +
                     Plural(static_cast<size_t>(Report.Activations), "activation", "activations") +
                     NewLineString;
  const bool Stops = Report.Activations == 0;
  if (Report.Alternatives.size() == 1) {
    AppendAlternative(Report.Alternatives.front(), Stops, "  ", Text);
    return Text;
  }
  for (size_t A = 0; A < Report.Alternatives.size(); ++A) {
    Text += "  alternative " + std::to_string(A + 1) + ":" + NewLineString;
    AppendAlternative(Report.Alternatives[A], Stops, "    ", Text);
  }
  return Text;
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

IFactOrigin TInferenceEngine::GetFactOrigin(int32_t ID) const {
  const IFact Fact = FFacts->GetFactByID(ID);
  return Fact ? Fact->GetOrigin() : IFactOrigin();
}

std::string TInferenceEngine::FactOriginText(const IFact& Fact) try {
  if (!Fact) return std::string();
  const std::string Own = IdText(Fact->GetID());
  const IFactOrigin& Origin = Fact->GetOrigin();
  if (!Origin) return Own + " was not asserted by a rule" + NewLineString;
  std::string Text = Own + " was asserted by rule " + Origin->GetRuleName();
  if (!FRules->Get(Origin->GetRuleName())) Text += " (since removed)";
  if (!Origin->GetFactIds().empty()) Text += " with";
  Text += NewLineString;
  // A fact gone since is written with its identifier padded as the facts still there print theirs.
  const std::string Digits = std::to_string(std::to_string(FNextFactId).size());
  for (const int32_t Id : Origin->GetFactIds()) {
    const IFact Source = FFacts->GetFactByID(Id);
    Text += "  " +
            (Source ? Source->GetToIDString()
                    : Format("%s%" + Digits + "." + Digits + "d (since retracted)", {"f-", Id})) +
            NewLineString;
  }
  return Text;
} catch (const std::bad_alloc&) {
  throw EIEException(SOutOfMemory);
}

}  // namespace rulecraft
