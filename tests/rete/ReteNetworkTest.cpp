// The Rete network driven the way the engine drives it: rules compiled into shared nodes, facts asserted and
// retracted as tokens, activations made and withdrawn. Construction (sharing, traces, removal, priming,
// errors), positive and negated joins, Unique, OneShot, the multifield split, test elements, backward
// chaining, the fuzzy strength of a match, clear tokens, and the text forms of nodes and listings.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../FakeRuleEngine.h"
#include "../TestValues.h"
#include "rulecraft/framework/TreeNodes.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/rete/ReteNetwork.h"
#include "rulecraft/rete/ReteNode.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

struct TTest {
  std::string Slot;
  IIEValue Value;
  int32_t SubIndex = NoSubIndex;
  bool Negated = false;
};

// A list value as the pattern sees it, nested lists in parentheses: (a (b c) d).
std::string Shape(const IIEValue& Value) {
  if (!Value) return "<none>";
  if (Value->GetDType() != dtList) return Value->GetToString();
  std::string Text = "(";
  const IValueVector List = Value->GetAsList();
  for (int32_t I = 0; List && I < List->GetValueCount(); ++I) {
    if (I > 0) Text += " ";
    Text += Shape(List->Get(I));
  }
  return Text + ")";
}

// A fuzzy value whose set peaks at Height: matched against itself, its degree is Height.
IIEValue FuzzyPeak(double Height) {
  IFuzzySet Set = MakeRef<TIFuzzySet>();
  Set->SetPoints({0.0, 5.0, 10.0}, {0.0, Height, 0.0});
  return MakeRef<TIEValue>(Set);
}

// (probe x): x, resolved. It leaves a return pending on the context it ran in, as a call that ends in a
// return would, and counts the calls that found one still pending from an earlier call.
class TProbeFunction final : public TIEUserFunction {
 public:
  explicit TProbeFunction(int* StalePending) : TIEUserFunction("probe", 1, 1), FStalePending(StalePending) {}

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    if (Context->GetReturn()) ++*FStalePending;
    Result = Arg(FunCall, 0, Context);
    Context->SetReturnValue(Result);
  }

 private:
  int* FStalePending;
};

class TReteNetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Engine.AddTestFunctions();
    // Made before the rules: the engine frees its components last-made first, so rules leave a live network.
    Net = new TReteNetwork(&Engine, &Engine);
    Order = MakeTemplate("order", {"id", "customer"});
    Customer = MakeTemplate("customer", {"id", "name"});
    Blocked = MakeTemplate("blocked", {"id", "reason"});
    Person = MakeTemplate("person", {"name", "nick", "age"}, {"kids"});
    Bag = MakeTemplate("bag", {}, {"items"});
    Stop = MakeTemplate("stop", {}, {SDefaultSlotName});
  }

  IFactTemplate MakeTemplate(const std::string& Name, std::vector<std::string> Slots,
                             std::vector<std::string> MultiSlots = {}) {
    IFactTemplate Template = Engine.CreateFactTemplate(Name);
    for (const std::string& Slot : Slots) Template->AddSlot(Slot, FCNil);
    for (const std::string& Slot : MultiSlots) Template->AddMultiSlot(Slot, FCNilList);
    return Template;
  }

  std::unique_ptr<TIEPattern> P(const IFactTemplate& Template, std::vector<TTest> Tests,
                                int32_t Negated = 0) {
    auto Pattern = std::make_unique<TIEPattern>(&Engine, Template->GetTemplateName(), Template, Negated);
    for (const TTest& Test : Tests)
      Pattern->AddTest(Test.Slot, Test.Value, Test.SubIndex, Test.Negated, true);
    return Pattern;
  }

  template <class... T>
  static std::vector<std::unique_ptr<TIEPattern>> Ps(T&&... Patterns) {
    std::vector<std::unique_ptr<TIEPattern>> Lhs;
    (Lhs.push_back(std::forward<T>(Patterns)), ...);
    return Lhs;
  }

  TRule* NewRule(const std::string& Name, std::vector<std::unique_ptr<TIEPattern>> Patterns) {
    auto* Rule = new TRule(&Engine);
    Rule->SetRuleName(Name);
    for (auto& Pattern : Patterns) Rule->AppendPattern(std::move(Pattern));
    return Rule;
  }

  TRule* AddRule(const std::string& Name, std::vector<std::unique_ptr<TIEPattern>> Patterns) {
    TRule* Rule = NewRule(Name, std::move(Patterns));
    Net->AddRule(Rule);
    return Rule;
  }

  // (Name Arguments...) as a slot value.
  IIEValue Call(const std::string& Name, std::vector<IIEValue> Arguments) {
    return CallValue(NewCall(&Engine, Name, std::move(Arguments)));
  }

  // The test element (test Condition).
  std::unique_ptr<TIEPattern> TestCE(const IIEValue& Condition) {
    auto Test = std::make_unique<TIEPattern>(&Engine, STestCE, Stop, 0);
    Test->AddTest(SDefaultSlotName, Condition, NoSubIndex, false, true);
    return Test;
  }

  IFact Make(const IFactTemplate& Template, std::vector<std::pair<std::string, IIEValue>> Values) {
    IFact Fact = Template->NewFact();
    for (auto& [Slot, Value] : Values) Fact->SetValue(Slot, Value);
    return Fact;
  }

  IFact Assert(const IFact& Fact) {
    Fact->SetID(Engine.NextFactId++);
    Engine.Facts.push_back(Fact);
    Net->ProcessToken(MakeRef<TIEToken>(taAdd, Fact));
    return Fact;
  }

  IFact Assert(const IFactTemplate& Template, std::vector<std::pair<std::string, IIEValue>> Values) {
    return Assert(Make(Template, std::move(Values)));
  }

  void Retract(const IFact& Fact) {
    Net->ProcessToken(MakeRef<TIEToken>(taRemove, Fact));
    Engine.Facts.erase(std::find(Engine.Facts.begin(), Engine.Facts.end(), Fact));
  }

  // "rule: f-1, f-2" per activation, in agenda order; placeholders of not and test elements are left out.
  std::vector<std::string> Agenda() const {
    std::vector<std::string> Lines;
    for (const auto& Activation : Engine.Activations) {
      std::string Facts;
      const IReteToken& Token = Activation->GetToken();
      for (int32_t I = 0; I < Token->GetCount(); ++I) {
        const IFact& Fact = Token->GetFacts(I);
        if (!Fact || Fact == Engine.GetNullFact()) continue;
        Facts += (Facts.empty() ? "" : ", ") + std::string("f-") + std::to_string(Fact->GetID());
      }
      Lines.push_back(Activation->GetRule()->GetRuleName() + ": " + Facts);
    }
    return Lines;
  }

  template <class T>
  std::vector<T*> NodesOf(const TRule* Rule) const {
    std::vector<T*> Found;
    if (const auto* Nodes = Net->GetRuleNodesList(Rule))
      for (TReteNode* Node : *Nodes)
        if (auto* Typed = dynamic_cast<T*>(Node)) Found.push_back(Typed);
    return Found;
  }

  TFakeRuleEngine Engine;
  TReteNetwork* Net = nullptr;
  IFactTemplate Order, Customer, Blocked, Person, Bag, Stop;
};

using Lines = std::vector<std::string>;

}  // namespace

// ---- construction

TEST_F(TReteNetworkTest, RulesWithEqualFirstPatternsShareNodesAndSurviveEachOthersRemoval) {
  TRule* A = AddRule("a", Ps(P(Person, {{"name", Atom("bob")}})));
  TRule* B = AddRule("b", Ps(P(Person, {{"name", Atom("bob")}})));
  EXPECT_EQ(Net->GetRuleTrace(A), "a: +1+1+t");
  EXPECT_EQ(Net->GetRuleTrace(B), "b: =1=1+t");
  EXPECT_EQ(Net->GetRootCount(), 1);
  EXPECT_EQ(Net->GetNodeCount(), 4);  // class type, name test, two terminals
  EXPECT_EQ(Net->GetRoot(0)->GetRuleUseCount(), 2);

  IFact Bob = Assert(Person, {{"name", Atom("bob")}});
  Assert(Person, {{"name", Atom("ann")}});
  EXPECT_EQ(Agenda(), (Lines{"a: f-1", "b: f-1"}));

  Net->RemoveRule(A);
  EXPECT_FALSE(Net->IsCompiled(A));
  EXPECT_EQ(Net->GetRuleTrace(A), "");
  EXPECT_EQ(Agenda(), (Lines{"b: f-1"}));  // the removed rule's activations are withdrawn
  EXPECT_EQ(Net->GetNodeCount(), 3);
  for (TReteNode* Node : *Net->GetRuleNodesList(B)) EXPECT_EQ(Node->GetRuleUseCount(), 1);
  Retract(Bob);
  EXPECT_TRUE(Engine.Activations.empty());
  Assert(Person, {{"name", Atom("bob")}});
  EXPECT_EQ(Agenda(), (Lines{"b: f-3"}));
  Net->RemoveRule(B);
  EXPECT_EQ(Net->GetNodeCount(), 0);
  EXPECT_EQ(Net->GetRootCount(), 0);
}

TEST_F(TReteNetworkTest, JoinsAreSharedWhenFedAlikeButNegatedJoinsAndTestNodesNeverAre) {
  auto Two = [&](const std::string& Name) {
    return AddRule(Name, Ps(P(Order, {{"customer", Var("c")}}), P(Customer, {{"id", Var("c")}})));
  };
  TRule* First = Two("first");
  TRule* Second = Two("second");
  EXPECT_EQ(Net->GetRuleTrace(First), "first: +1+1+2+t");
  EXPECT_EQ(Net->GetRuleTrace(Second), "second: =1=1=2+t");
  ASSERT_EQ(NodesOf<TJoinNode>(First).size(), 1u);
  EXPECT_EQ(NodesOf<TJoinNode>(First)[0], NodesOf<TJoinNode>(Second)[0]);
  EXPECT_EQ(NodesOf<TJoinNode>(First)[0]->GetRuleUseCount(), 2);

  // The same patterns, but the second negated: a join of its own.
  TRule* Negated =
      AddRule("negated", Ps(P(Order, {{"customer", Var("c")}}), P(Customer, {{"id", Var("c")}}, 1)));
  EXPECT_EQ(Net->GetRuleTrace(Negated), "negated: =1=1+2+t");

  // A test element is a node of its own each time.
  auto WithTest = [&](const std::string& Name) {
    return AddRule(Name, Ps(P(Order, {{"id", Var("o")}}), TestCE(Call(">", {Var("o"), Int(5)}))));
  };
  TRule* T1 = WithTest("t1");
  TRule* T2 = WithTest("t2");
  EXPECT_EQ(Net->GetRuleTrace(T1), "t1: =1+1+2+t");  // the test element's root passes nothing itself
  EXPECT_EQ(Net->GetRuleTrace(T2), "t2: =1=1+2+t");
  EXPECT_NE(NodesOf<TTestNode>(T1)[0], NodesOf<TTestNode>(T2)[0]);
}

TEST_F(TReteNetworkTest, DoubleNegationChainsTwoNegatedJoinsAndIsNeverMergedWithThePositiveForm) {
  TRule* Positive =
      AddRule("positive", Ps(P(Order, {{"customer", Var("c")}}), P(Customer, {{"id", Var("c")}})));
  TRule* Exists =
      AddRule("exists", Ps(P(Order, {{"customer", Var("c")}}), P(Customer, {{"id", Var("c")}}, 2)));
  EXPECT_EQ(Net->GetRuleTrace(Exists), "exists: =1=1+2+t");  // the extra level has no mark
  const auto Joins = NodesOf<TJoinNode>(Exists);
  ASSERT_EQ(Joins.size(), 2u);
  EXPECT_TRUE(Joins[0]->GetNegated());
  EXPECT_TRUE(Joins[1]->GetNegated());
  EXPECT_EQ(Joins[0]->GetTestCount(), 1);
  EXPECT_EQ(Joins[1]->GetTestCount(), 0);
  EXPECT_FALSE(Joins[1]->GetUseShortCut());
  EXPECT_TRUE(Joins[1]->HasEdgeTo(NodesOf<TPatternMatchTerminalNode>(Exists)[0], ctActivate));
  EXPECT_TRUE(Joins[0]->HasEdgeTo(Joins[1], ctRight));
  EXPECT_NE(Joins[0], NodesOf<TJoinNode>(Positive)[0]);

  // Not not: the order fires once there is a matching customer.
  IFact O = Assert(Order, {{"customer", Atom("bob")}});
  EXPECT_TRUE(Agenda().empty());
  IFact C = Assert(Customer, {{"id", Atom("bob")}});
  EXPECT_EQ(Agenda(), (Lines{"positive: f-1, f-2", "exists: f-1"}));
  Retract(C);
  EXPECT_TRUE(Agenda().empty());
  Retract(O);
}

TEST_F(TReteNetworkTest, ARuleAddedAfterItsFactsIsPrimedAtOnce) {
  Assert(Order, {{"id", Int(1)}, {"customer", Atom("bob")}});
  Assert(Customer, {{"id", Atom("bob")}});
  Assert(Customer, {{"id", Atom("ann")}});
  TRule* Rule = AddRule("late", Ps(P(Order, {{"customer", Var("c")}}), P(Customer, {{"id", Var("c")}})));
  EXPECT_EQ(Agenda(), (Lines{"late: f-1, f-2"}));
  EXPECT_TRUE(NodesOf<TPatternMatchTerminalNode>(Rule)[0]->GetInitialized());
  // Update tokens make no activations once the rule is primed; add tokens still do.
  IFact Ann = Make(Order, {{"customer", Atom("ann")}});
  Ann->SetID(Engine.NextFactId++);
  Net->ProcessToken(MakeRef<TIEToken>(taUpdate, Ann));
  EXPECT_EQ(Agenda().size(), 1u);
  Net->ProcessToken(MakeRef<TIEToken>(taRemove, Ann));
  Net->ProcessToken(MakeRef<TIEToken>(taAdd, Ann));
  EXPECT_EQ(Agenda(), (Lines{"late: f-1, f-2", "late: f-4, f-3"}));
}

TEST_F(TReteNetworkTest, ATerminalNodeHoldsOneActivationPerMatch) {
  AddRule("single", Ps(P(Order, {{"customer", Atom("bob")}})));
  IFact Bob = Assert(Order, {{"id", Int(1)}, {"customer", Atom("bob")}});
  // A one-input rule keeps no memory: the same add token arriving again must not make a second activation.
  Net->ProcessToken(MakeRef<TIEToken>(taAdd, Bob));
  EXPECT_EQ(Agenda(), (Lines{"single: f-1"}));
  Retract(Bob);
  EXPECT_TRUE(Agenda().empty());
}

// Many rules testing one slot against constants: a fact meets exactly the rules of its constant (kinds kept
// apart, -0.0 equal to 0.0, a value of a kind not hashed compared by each), in the order the rules' nodes
// were linked, with the other tests of the slot in between; removing rules shrinks the group below the size
// worth hashing without changing a match.
TEST_F(TReteNetworkTest, ConstantsSharedOnOneSlotReachExactlyTheirRulesInOrderAlsoAfterRemoval) {
  TRule* N0 = AddRule("n0", Ps(P(Person, {{"name", Atom("n0")}})));
  TRule* N1 = AddRule("n1", Ps(P(Person, {{"name", Atom("n1")}})));
  AddRule("not-zz", Ps(P(Person, {{"name", Atom("zz"), NoSubIndex, true}})));
  TRule* N2 = AddRule("n2", Ps(P(Person, {{"name", Atom("n2")}})));
  AddRule("n2-aged", Ps(P(Person, {{"age", Int(5)}, {"name", Atom("n2")}})));
  AddRule("text-n1", Ps(P(Person, {{"name", Str("n1")}})));
  AddRule("one", Ps(P(Person, {{"name", Int(1)}})));
  AddRule("zero", Ps(P(Person, {{"name", Flt(-0.0)}})));
  TRule* N3 = AddRule("n3", Ps(P(Person, {{"name", Atom("n3")}})));
  const IFact Aged = Assert(Person, {{"name", Atom("n2")}, {"age", Int(5)}});
  EXPECT_EQ(Agenda(), (Lines{"not-zz: f-1", "n2: f-1", "n2-aged: f-1"}));
  Engine.Activations.clear();
  Assert(Person, {{"name", Str("n1")}});
  Assert(Person, {{"name", Int(1)}});
  Assert(Person, {{"name", Flt(0.0)}});
  Assert(Person, {{"name", Atom("1")}});
  Assert(Person, {{"name", MakeRef<TIEValue>(1, dtFactId)}});
  EXPECT_EQ(Agenda(), (Lines{"not-zz: f-2", "text-n1: f-2", "not-zz: f-3", "one: f-3", "not-zz: f-4",
                             "zero: f-4", "not-zz: f-5", "not-zz: f-6"}));
  Engine.Activations.clear();

  for (TRule* Gone : {N0, N1, N2, N3}) Net->RemoveRule(Gone);
  const IFact Again = Assert(Person, {{"name", Atom("n2")}, {"age", Int(5)}});
  Assert(Person, {{"name", Atom("n3")}});
  EXPECT_EQ(Agenda(), (Lines{"not-zz: f-7", "n2-aged: f-7", "not-zz: f-8"}));
  Retract(Again);
  EXPECT_EQ(Agenda(), (Lines{"not-zz: f-8"}));
  AddRule("n3-again", Ps(P(Person, {{"name", Atom("n3")}})));
  EXPECT_EQ(Agenda(), (Lines{"not-zz: f-8", "n3-again: f-8"}));
  Retract(Aged);
  EXPECT_EQ(Agenda(), (Lines{"not-zz: f-8", "n3-again: f-8"}));
}

// A fact of a template that extends another meets the patterns of both, in the order their roots were made.
TEST_F(TReteNetworkTest, AFactOfADerivedTemplateMeetsThePatternsOfItsAncestorsInRootOrder) {
  IFactTemplate Employee = MakeTemplate("employee", {"name", "nick", "age"});
  Employee->SetParent(Person);
  IFactTemplate Manager = MakeTemplate("manager", {"name", "nick", "age"});
  Manager->SetParent(Employee);
  AddRule("on-employee", Ps(P(Employee, {{"name", Atom("ann")}})));
  AddRule("on-manager", Ps(P(Manager, {})));
  AddRule("on-person", Ps(P(Person, {{"name", Atom("ann")}})));
  Assert(Manager, {{"name", Atom("ann")}});
  Assert(Employee, {{"name", Atom("ann")}});
  Assert(Person, {{"name", Atom("bob")}});
  EXPECT_EQ(Agenda(), (Lines{"on-employee: f-1", "on-manager: f-1", "on-person: f-1", "on-employee: f-2",
                             "on-person: f-2"}));
}

TEST_F(TReteNetworkTest, AVariableInTwoSlotsOfOnePatternIsTestedWithoutAJoin) {
  TRule* Rule = AddRule("same", Ps(P(Person, {{"name", Var("x")}, {"nick", Var("x")}})));
  EXPECT_EQ(Net->GetRuleTrace(Rule), "same: +1+1+t");
  EXPECT_TRUE(NodesOf<TJoinNode>(Rule).empty());
  const auto Tests = NodesOf<TPatternMatchNode>(Rule);
  ASSERT_EQ(Tests.size(), 2u);
  EXPECT_EQ(Tests[1]->GetPatternMatchTest(), pmtTestSlotValueEqual);
  Assert(Person, {{"name", Atom("bob")}, {"nick", Atom("bobby")}});
  Assert(Person, {{"name", Atom("ann")}, {"nick", Atom("ann")}});
  EXPECT_EQ(Agenda(), (Lines{"same: f-2"}));

  // One side negated: the slots must differ.
  TRule* Differ =
      AddRule("differ", Ps(P(Person, {{"name", Var("x")}, {"nick", Var("x"), NoSubIndex, true}})));
  EXPECT_EQ(NodesOf<TPatternMatchNode>(Differ)[1]->GetPatternMatchTest(), pmtTestSlotValueNotEqual);
  // Priming the new rule through the shared class-type node leaves the other rule's activation where it was.
  EXPECT_EQ(Agenda(), (Lines{"same: f-2", "differ: f-1"}));
}

// A variable written twice in one multislot compares the two fields: single fields, a further test of the
// same field, one side negated, and multifield variables, whose runs must be equal lists.
TEST_F(TReteNetworkTest, AVariableRepeatedInOneMultislotComparesItsFields) {
  auto Items = [&](std::vector<IIEValue> Values) { return Make(Bag, {{"items", List(std::move(Values))}}); };
  // The rule of one pattern on the bag; Fields fixes the number of fields the slot holds after the splits.
  auto Fired = [&](const std::string& Name, std::vector<TTest> Tests, std::vector<IFact> Facts,
                   int Fields = -1) {
    Engine.Facts.clear();
    Engine.Activations.clear();
    auto Pattern = P(Bag, std::move(Tests));
    if (Fields >= 0) Pattern->SetSlotLength(Pattern->IndexOfSlotName("items"), Fields);
    TRule* Rule = AddRule(Name, Ps(std::move(Pattern)));
    for (const IFact& Fact : Facts) Assert(Fact);
    std::vector<std::string> Seen;
    for (const auto& Activation : Engine.Activations)
      Seen.push_back(Shape(Activation->GetToken()->GetFact()->GetValue("items")));
    Net->RemoveRule(Rule);
    return Seen;
  };
  const IFact Two = Items({Int(1), Int(2)});
  const IFact Same = Items({Int(3), Int(3)});
  // (?x ?x): the second field is compared with the first, in the pattern's own chain.
  EXPECT_EQ(Fired("pair", {{"items", Var("x"), 0}, {"items", Var("x"), 1}}, {Two, Same}), (Lines{"(3 3)"}));
  TRule* Pair = AddRule("pair", Ps(P(Bag, {{"items", Var("x"), 0}, {"items", Var("x"), 1}})));
  const auto Nodes = NodesOf<TPatternMatchNode>(Pair);
  ASSERT_EQ(Nodes.size(), 2u);
  EXPECT_EQ(Nodes[1]->GetPatternMatchTest(), pmtTestSlotValueEqual);
  EXPECT_EQ(Nodes[1]->GetArgs(), (TNodeArgs{"items", "items", 0, 1}));
  Net->RemoveRule(Pair);
  // (?x ?y&?x): the second test of the second field.
  EXPECT_EQ(
      Fired("and", {{"items", Var("x"), 0}, {"items", Var("y"), 1}, {"items", Var("x"), 1}}, {Two, Same}),
      (Lines{"(3 3)"}));
  // (?x ~?x): the fields must differ.
  EXPECT_EQ(Fired("differ", {{"items", Var("x"), 0}, {"items", Var("x"), 1, true}}, {Two, Same}),
            (Lines{"(1 2)"}));
  // ($?x $?x) against (1 2 1 2): of the five splits only the one into equal halves.
  EXPECT_EQ(Fired("halves", {{"items", MultiVar("x"), 0}, {"items", MultiVar("x"), 1}},
                  {Items({Int(1), Int(2), Int(1), Int(2)})}, 2),
            (Lines{"((1 2) (1 2))"}));
  EXPECT_EQ(Fired("halves", {{"items", MultiVar("x"), 0}, {"items", MultiVar("x"), 1}},
                  {Items({Int(1), Int(2), Int(1)}), Items({})}, 2),
            (Lines{"(() ())"}));
}

TEST_F(TReteNetworkTest, ADisabledNetworkBuildsNothingAndIgnoresAdditions) {
  TRule* Rule = AddRule("r", Ps(P(Order, {})));
  Assert(Order, {{"id", Int(1)}});
  ASSERT_EQ(Agenda().size(), 1u);
  Net->SetEnabled(false);
  EXPECT_FALSE(Net->GetEnabled());
  EXPECT_EQ(Net->GetNodeCount(), 0);
  EXPECT_FALSE(Net->IsCompiled(Rule));
  EXPECT_EQ(Agenda().size(), 1u);  // clearing deactivates nothing
  Net->AddRule(Rule);
  EXPECT_EQ(Net->GetNodeCount(), 0);
  EXPECT_FALSE(Net->ProcessToken(MakeRef<TIEToken>(taAdd, Make(Order, {}))));
  // The activation made before still reports its firing, although its node is gone.
  Engine.Activations[0]->Fire();
  ASSERT_EQ(Engine.Fired.size(), 1u);
  EXPECT_EQ(Engine.Fired[0], Engine.Activations[0].get());
  Net->SetEnabled(true);
  Net->AddRule(Rule);
  EXPECT_TRUE(Net->IsCompiled(Rule));
  EXPECT_EQ(Agenda().size(), 2u);  // primed again with the fact
}

TEST_F(TReteNetworkTest, CompilationErrorsNameTheVariableAndLeaveTheNetworkAsItWas) {
  AddRule("good", Ps(P(Order, {{"id", Var("o")}})));
  const int32_t Nodes = Net->GetNodeCount();

  // A call reading a variable nobody binds.
  TRule* Bad = NewRule("bad", Ps(P(Order, {{"id", Var("o")}, {"id", Call(">", {Var("o"), Var("zz")})}})));
  ExpectError([&] { Net->AddRule(Bad); }, "Unknown variable name: zz");
  EXPECT_FALSE(Net->IsCompiled(Bad));
  EXPECT_EQ(Net->GetNodeCount(), Nodes);
  // Calls are walked no deeper than they may nest when they run.
  IFunCall Deep = NewCall(&Engine, "not", {Var("o")});
  for (int I = 0; I < 2100; ++I) Deep = NewCall(&Engine, "not", {CallValue(Deep)});
  ExpectError([&] { Net->Evaluate(*Deep, Bad); }, "Maximum nesting depth of 2000 exceeded in not");

  // A variable whose binding went missing.
  TRule* Corrupt =
      NewRule("corrupt", Ps(P(Order, {{"customer", Var("c")}}), P(Customer, {{"id", Var("c")}})));
  TIEPattern* Second = Corrupt->GetPattern(1);
  Second->GetSlotTest(Second->IndexOfSlotName("id"), 0)->SetSlotValue(Var("ghost"));
  ExpectError([&] { Net->AddRule(Corrupt); }, "Corrupted Binding, variable not found: ghost");
  EXPECT_FALSE(Net->IsCompiled(Corrupt));
  EXPECT_EQ(Net->GetNodeCount(), Nodes);
  EXPECT_EQ(Net->GetRootCount(), 1);
}

TEST_F(TReteNetworkTest, GlobalVariablesInPatternCallsAreLeftToBeReadWhenMatching) {
  Engine.GetContext()->AddGlobalBinding("*limit*", Int(3));
  TRule* Rule =
      AddRule("limit", Ps(P(Order, {{"id", Var("o")}, {"id", Call(">", {Var("o"), Var("*limit*")})}})));
  const IFunCall Original =
      NewCall(&Engine, "not", {CallValue(NewCall(&Engine, ">", {Var("o"), Var("*limit*")}))});
  const IFunCall Prepared = Net->Evaluate(*Original, Rule)->GetArgument(0)->GetAsFunCall();
  EXPECT_EQ(Prepared->GetArgument(0)->GetToString(), "<TBindingInfo: FactIdx=0 SlotIdx=id>");
  EXPECT_EQ(Prepared->GetArgument(1)->GetDType(), dtVariable);
  EXPECT_EQ(Original->GetArgument(0)->GetAsFunCall()->GetArgument(0)->GetDType(), dtVariable);  // untouched
  EXPECT_FALSE(TReteNetwork::HasMorePatterns(*Prepared, 0));
  EXPECT_TRUE(TReteNetwork::HasMorePatterns(*Prepared, 1));
  Assert(Order, {{"id", Int(2)}});
  Assert(Order, {{"id", Int(5)}});
  EXPECT_EQ(Agenda(), (Lines{"limit: f-2"}));
  Engine.GetContext()->AddGlobalBinding("*limit*", Int(1));
  Assert(Order, {{"id", Int(2)}});
  EXPECT_EQ(Agenda(), (Lines{"limit: f-2", "limit: f-3"}));
}

// ---- joins

TEST_F(TReteNetworkTest, JoinTestsCompareSlotsAcrossPatternsInEitherArrivalOrder) {
  TRule* Rule = AddRule("join", Ps(P(Order, {{"id", Var("o")}, {"customer", Var("c")}}),
                                   P(Customer, {{"id", Var("c")}, {"name", Var("o"), NoSubIndex, true}})));
  TJoinNode* Join = NodesOf<TJoinNode>(Rule)[0];
  ASSERT_EQ(Join->GetTestCount(), 2);
  EXPECT_TRUE(Join->GetUseShortCut());
  EXPECT_EQ(Join->GetShortCutLeftSlot(), "customer");
  EXPECT_EQ(Join->GetShortCutRightSlot(), "id");
  // The equality test keys the memories and stands first, whatever the slot order.
  EXPECT_EQ(Join->GetTest(0)->GetToString(), "= tstSlot TokenIdx: 0 Left: customer Right: id");
  EXPECT_EQ(Join->GetTest(1)->GetToString(), "<> tstSlot TokenIdx: 0 Left: id Right: name");

  IFact O1 = Assert(Order, {{"id", Atom("o1")}, {"customer", Atom("bob")}});
  Assert(Customer, {{"id", Atom("bob")}, {"name", Atom("Bob")}});  // f-2 matches o1
  Assert(Customer, {{"id", Atom("ann")}, {"name", Atom("Ann")}});  // f-3: no order of ann yet
  Assert(Customer, {{"id", Atom("bob")}, {"name", Atom("o2")}});   // f-4 matches o1
  Assert(Order, {{"id", Atom("o2")}, {"customer", Atom("bob")}});  // f-5: f-2 only (f-4's name is o2)
  Assert(Order, {{"id", Atom("o3")}, {"customer", Atom("ann")}});  // f-6: f-3
  EXPECT_EQ(Agenda(), (Lines{"join: f-1, f-2", "join: f-1, f-4", "join: f-5, f-2", "join: f-6, f-3"}));
  Retract(O1);
  EXPECT_EQ(Agenda(), (Lines{"join: f-5, f-2", "join: f-6, f-3"}));
  EXPECT_EQ(Join->GetLeftMemory()->Count(), 2u);
  EXPECT_EQ(Join->GetRightMemory()->Count(), 3u);
}

TEST_F(TReteNetworkTest, ACallTestReadingTwoPatternsBecomesAJoinTestAndASingleOneANodeTest) {
  // (person (age ?a&:(> ?a ?o)&:(> ?a 17)))
  TRule* Rule = AddRule("calls", Ps(P(Order, {{"id", Var("o")}}), P(Customer, {{"name", Var("n")}}),
                                    P(Person, {{"age", Var("a")},
                                               {"age", Call(">", {Var("a"), Var("o")})},
                                               {"age", Call(">", {Var("a"), Int(17)})}})));
  const auto Joins = NodesOf<TJoinNode>(Rule);
  ASSERT_EQ(Joins.size(), 2u);
  ASSERT_EQ(Joins[1]->GetTestCount(), 1);
  EXPECT_NE(dynamic_cast<TIEPatternMatchTest*>(Joins[1]->GetTest(0)), nullptr);
  EXPECT_FALSE(Joins[1]->GetUseShortCut());
  const auto Nodes = NodesOf<TPatternMatchNode>(Rule);
  EXPECT_EQ(Nodes.back()->GetPatternMatchTest(), pmtTestEqual);  // the call on the third pattern alone
  EXPECT_EQ(Nodes.back()->GetValue()->GetDType(), dtFunCall);

  Assert(Order, {{"id", Int(20)}});
  Assert(Customer, {{"name", Atom("x")}});
  Assert(Person, {{"age", Int(18)}});  // above 17, not above 20
  Assert(Person, {{"age", Int(30)}});
  Assert(Person, {{"age", Int(12)}});  // stopped by the node test
  EXPECT_EQ(Agenda(), (Lines{"calls: f-1, f-2, f-4"}));
  // Two rules never share a node holding a call.
  TRule* A = AddRule("a", Ps(P(Order, {{"id", Var("o")}, {"id", Call(">", {Var("o"), Int(1)})}})));
  TRule* B = AddRule("b", Ps(P(Order, {{"id", Var("o")}, {"id", Call(">", {Var("o"), Int(1)})}})));
  EXPECT_EQ(Net->GetRuleTrace(A), "a: =1+1+t");
  EXPECT_EQ(Net->GetRuleTrace(B), "b: =1+1+t");
}

TEST_F(TReteNetworkTest, ATestElementFiltersPartialMatchesAndKeepsLaterPositionsRight) {
  TRule* Rule =
      AddRule("tested", Ps(P(Order, {{"id", Var("o")}}), TestCE(Call(">", {Var("o"), Int(5)})),
                           P(Customer, {{"id", Var("c")}, {"id", Call("neq", {Var("c"), Var("o")})}})));
  EXPECT_EQ(Net->GetRuleTrace(Rule), "tested: +1+1+1+2+2+t");
  Assert(Order, {{"id", Int(3)}});
  Assert(Order, {{"id", Int(9)}});
  Assert(Customer, {{"id", Int(9)}});  // equal to the order's id: refused by the join's call
  Assert(Customer, {{"id", Int(1)}});
  ASSERT_EQ(Agenda(), (Lines{"tested: f-2, f-4"}));
  const IReteToken& Token = Engine.Activations[0]->GetToken();
  ASSERT_EQ(Token->GetCount(), 3);
  EXPECT_EQ(Token->GetFacts(1), Engine.GetNullFact());
  EXPECT_EQ(Token->GetFacts(2)->GetTemplate(), Customer);
}

TEST_F(TReteNetworkTest, CallJoinTestsSeeTheirOwnPairWhateverTheNodesBelowDid) {
  int StalePending = 0;
  Engine.AddUserFunction(MakeRef<TProbeFunction>(&StalePending));
  // (order (id ?o) (customer ?c))
  // (customer (id ?i&:(probe (eq ?i ?c))))
  // (person (name ?p&:(probe (eq ?p ?c))) (nick ?k&:(probe (neq ?k ?o))))
  auto Probe = [&](const std::string& Name, const std::string& A, const std::string& B) {
    return Call("probe", {Call(Name, {Var(A), Var(B)})});
  };
  TRule* Rule = AddRule("pairs", Ps(P(Order, {{"id", Var("o")}, {"customer", Var("c")}}),
                                    P(Customer, {{"id", Var("i")}, {"id", Probe("eq", "i", "c")}}),
                                    P(Person, {{"name", Var("p")},
                                               {"nick", Var("k")},
                                               {"name", Probe("eq", "p", "c")},
                                               {"nick", Probe("neq", "k", "o")}})));
  const auto Joins = NodesOf<TJoinNode>(Rule);
  ASSERT_EQ(Joins.size(), 2u);
  EXPECT_FALSE(Joins[0]->GetUseShortCut());  // every pair is tested by the calls
  EXPECT_FALSE(Joins[1]->GetUseShortCut());

  auto Fact = [&](const IFactTemplate& Template, std::vector<std::pair<std::string, IIEValue>> Values,
                  int32_t Id) {
    IFact Made = Make(Template, std::move(Values));
    Made->SetID(Id);
    return Made;
  };
  const std::vector<IFact> Facts = {
      Fact(Order, {{"id", Atom("o1")}, {"customer", Atom("bob")}}, 1),
      Fact(Order, {{"id", Atom("o2")}, {"customer", Atom("ann")}}, 2),
      Fact(Order, {{"id", Atom("o3")}, {"customer", Atom("bob")}}, 3),
      Fact(Customer, {{"id", Atom("bob")}}, 4),
      Fact(Customer, {{"id", Atom("ann")}}, 5),
      Fact(Customer, {{"id", Atom("joe")}}, 6),
      Fact(Person, {{"name", Atom("bob")}, {"nick", Atom("o1")}}, 7),  // refused for o1 by its nick
      Fact(Person, {{"name", Atom("bob")}, {"nick", Atom("x")}}, 8),
      Fact(Person, {{"name", Atom("ann")}, {"nick", Atom("o3")}}, 9),
      Fact(Person, {{"name", Atom("joe")}, {"nick", Atom("z")}}, 10),  // joe has no order
  };
  const Lines Expected = {"pairs: f-1, f-4, f-8", "pairs: f-2, f-5, f-9", "pairs: f-3, f-4, f-7",
                          "pairs: f-3, f-4, f-8"};
  auto Sorted = [this] {
    Lines Found = Agenda();
    std::sort(Found.begin(), Found.end());
    return Found;
  };

  // The shared context is handed back as it was found after every token.
  TIEContext* Context = Net->GetContext();
  const IReteToken Outer = MakeRef<TIEToken>(taAdd, Facts[0]);
  const IFact OuterFact = Facts[1];
  Context->SetToken(Outer);
  Context->SetFact(OuterFact);

  for (const bool Backwards : {false, true}) {
    SCOPED_TRACE(Backwards ? "persons first" : "orders first");
    std::vector<IFact> Arrival = Facts;
    if (Backwards) std::reverse(Arrival.begin(), Arrival.end());
    for (const IFact& Each : Arrival) {
      Net->ProcessToken(MakeRef<TIEToken>(taAdd, Each));
      EXPECT_EQ(Context->GetToken().get(), Outer.get());
      EXPECT_EQ(Context->GetFact().get(), OuterFact.get());
      EXPECT_FALSE(Context->GetReturn());
    }
    EXPECT_EQ(Sorted(), Expected);
    // Withdrawn in the order they came: every match goes with its first fact.
    for (const IFact& Each : Arrival) Net->ProcessToken(MakeRef<TIEToken>(taRemove, Each));
    EXPECT_TRUE(Agenda().empty());
    EXPECT_EQ(Context->GetToken().get(), Outer.get());
    EXPECT_EQ(Context->GetFact().get(), OuterFact.get());
  }
  EXPECT_EQ(StalePending, 0);
}

// ---- negation

TEST_F(TReteNetworkTest, NegatedPatternsBlockUntilEveryBlockingFactIsGone) {
  AddRule("free", Ps(P(Order, {{"customer", Var("c")}}), P(Blocked, {{"id", Var("c")}}, 1)));
  IFact Bob = Assert(Order, {{"customer", Atom("bob")}});
  Assert(Order, {{"customer", Atom("ann")}});
  EXPECT_EQ(Agenda(), (Lines{"free: f-1", "free: f-2"}));
  IFact First = Assert(Blocked, {{"id", Atom("bob")}, {"reason", Atom("debt")}});
  EXPECT_EQ(Agenda(), (Lines{"free: f-2"}));
  IFact Second = Assert(Blocked, {{"id", Atom("bob")}, {"reason", Atom("fraud")}});
  Retract(First);
  EXPECT_EQ(Agenda(), (Lines{"free: f-2"}));  // still blocked by the second
  Retract(Second);
  EXPECT_EQ(Agenda(), (Lines{"free: f-2", "free: f-1"}));
  // A partial match arriving while blocked starts blocked and counts its blockers.
  IFact Third = Assert(Blocked, {{"id", Atom("cy")}});
  IFact Fourth = Assert(Blocked, {{"id", Atom("cy")}, {"reason", Atom("x")}});
  Assert(Order, {{"customer", Atom("cy")}});
  EXPECT_EQ(Agenda().size(), 2u);
  Retract(Fourth);
  EXPECT_EQ(Agenda().size(), 2u);
  Retract(Third);
  EXPECT_EQ(Agenda(), (Lines{"free: f-2", "free: f-1", "free: f-7"}));
  Retract(Bob);
  EXPECT_EQ(Agenda(), (Lines{"free: f-2", "free: f-7"}));
}

TEST_F(TReteNetworkTest, ARuleStartingWithNotOrWithoutPatternsStartsFromTheInitialFact) {
  IFact Initial = Make(Engine.FindFactTemplate(SInitialFactPattern), {});
  Initial->SetID(0);
  Engine.Facts.push_back(Initial);
  Net->ProcessToken(MakeRef<TIEToken>(taAdd, Initial));
  TRule* Quiet = AddRule("quiet", Ps(P(Stop, {}, 1)));
  EXPECT_EQ(Quiet->GetPattern(0)->GetName(), SInitialFactPattern);
  TRule* Empty = AddRule("empty", {});
  EXPECT_EQ(Empty->GetPatternCount(), 1);
  EXPECT_EQ(Net->GetRuleTrace(Empty), "empty: =1+t");
  EXPECT_EQ(Agenda(), (Lines{"quiet: f-0", "empty: f-0"}));
  IFact Halt = Assert(Stop, {});
  EXPECT_EQ(Agenda(), (Lines{"empty: f-0"}));
  Retract(Halt);
  EXPECT_EQ(Agenda(), (Lines{"empty: f-0", "quiet: f-0"}));
}

// ---- terminal nodes

TEST_F(TReteNetworkTest, UniqueKeepsOneMatchPerPartialMatchAndOneShotRulesWaitForAReset) {
  auto Unique = P(Customer, {{"id", Var("c")}});
  Unique->SetUnique(true);
  TRule* First = AddRule("unique", Ps(P(Order, {{"customer", Var("c")}}), std::move(Unique)));
  EXPECT_TRUE(NodesOf<TJoinNode>(First)[0]->GetUnique());
  Assert(Customer, {{"id", Atom("bob")}});
  Assert(Customer, {{"id", Atom("bob")}, {"name", Atom("Bob")}});
  Assert(Order, {{"customer", Atom("bob")}});
  EXPECT_EQ(Agenda(), (Lines{"unique: f-3, f-1"}));
  Net->RemoveRule(First);
  EXPECT_TRUE(Agenda().empty());

  TRule* Rule = AddRule("once", Ps(P(Person, {})));
  Rule->SetOneShot(true);
  std::vector<TActivation*> Fired;
  Net->OnRuleFired = [&](TReteNetwork* Sender, TActivation* Activation) {
    EXPECT_EQ(Sender, Net);
    Fired.push_back(Activation);
  };
  Assert(Person, {{"name", Atom("a")}});
  ASSERT_EQ(Agenda(), (Lines{"once: f-4"}));
  TPatternMatchTerminalNode* Terminal = NodesOf<TPatternMatchTerminalNode>(Rule)[0];
  EXPECT_EQ(Terminal->GetActivationCount(), 1);
  Engine.Activations[0]->Fire();
  EXPECT_TRUE(Rule->GetFired());
  EXPECT_EQ(Terminal->GetActivationCount(), 0);
  EXPECT_EQ(Fired, std::vector<TActivation*>{Engine.Activations[0].get()});
  EXPECT_EQ(Engine.Fired, Fired);
  Assert(Person, {{"name", Atom("b")}});
  EXPECT_EQ(Agenda().size(), 1u);  // fired once: nothing more
  Rule->Reset();
  Assert(Person, {{"name", Atom("c")}});
  EXPECT_EQ(Agenda(), (Lines{"once: f-4", "once: f-6"}));
  Rule->SetEnabled(false);
  Assert(Person, {{"name", Atom("d")}});
  EXPECT_EQ(Agenda().size(), 2u);
  Net->OnRuleFired = nullptr;
}

TEST_F(TReteNetworkTest, AClearTokenStandsDownEveryActivationAndEmptiesTheMemories) {
  TRule* Rule = AddRule("r", Ps(P(Order, {{"customer", Var("c")}}), P(Customer, {{"id", Var("c")}})));
  std::vector<std::string> Events;
  Net->OnActivation = [&](TReteNetwork*, TActivation* A) {
    Events.push_back("+" + A->GetToken()->GetToFactsString());
  };
  Net->OnDeactivation = [&](TReteNetwork*, TActivation* A) {
    Events.push_back("-" + A->GetToken()->GetToFactsString());
  };
  Assert(Order, {{"customer", Atom("bob")}});
  Assert(Customer, {{"id", Atom("bob")}});
  Assert(Customer, {{"id", Atom("bob")}, {"name", Atom("b")}});
  EXPECT_EQ(Agenda().size(), 2u);
  Net->ProcessToken(MakeRef<TIEToken>());
  Engine.Facts.clear();
  EXPECT_TRUE(Engine.Activations.empty());
  EXPECT_EQ(Events, (Lines{"+f-1, f-2", "+f-1, f-3", "-f-1, f-3", "-f-1, f-2"}));  // the latest first
  TJoinNode* Join = NodesOf<TJoinNode>(Rule)[0];
  EXPECT_EQ(Join->GetLeftMemory()->Count(), 0u);
  EXPECT_EQ(Join->GetRightMemory()->Count(), 0u);
  Assert(Customer, {{"id", Atom("bob")}});
  EXPECT_TRUE(Engine.Activations.empty());
  Assert(Order, {{"customer", Atom("bob")}});
  EXPECT_EQ(Agenda(), (Lines{"r: f-5, f-4"}));
  Net->OnActivation = nullptr;
  Net->OnDeactivation = nullptr;
}

TEST_F(TReteNetworkTest, ARuleThatIsDestroyedLeavesTheNetworkWithItsActivations) {
  TRule* Rule = AddRule("doomed", Ps(P(Order, {})));
  AddRule("kept", Ps(P(Customer, {})));
  Assert(Order, {});
  Assert(Customer, {});
  ASSERT_EQ(Agenda().size(), 2u);
  Engine.FreeComponent(Rule);
  EXPECT_EQ(Agenda(), (Lines{"kept: f-2"}));
  EXPECT_EQ(Net->GetRootCount(), 1);
  Net->Clear();
  EXPECT_EQ(Net->GetNodeCount(), 0);
  EXPECT_EQ(Net->GetRootCount(), 0);
  EXPECT_EQ(Agenda(), (Lines{"kept: f-2"}));  // clearing forgets activations without withdrawing them
}

TEST_F(TReteNetworkTest, TerminalNodesFindActivationsByTokenAmongThousands) {
  TRule* Rule = AddRule("many", Ps(P(Order, {})));
  std::vector<IFact> Facts;
  for (int32_t I = 0; I < 3000; ++I) Facts.push_back(Assert(Order, {{"id", Int(I)}}));
  // Withdraw every fact whose position is not a multiple of three, in a scattered order.
  std::vector<bool> Gone(Facts.size());
  size_t Left = Facts.size();
  for (size_t Step = 0, I = 0; Step < 2000; ++Step) {
    I = (I + 1237) % Facts.size();
    while (Gone[I] || I % 3 == 0) I = (I + 1) % Facts.size();
    Gone[I] = true;
    Retract(Facts[I]);
    ASSERT_EQ(Engine.Activations.size(), --Left);
  }
  const TPatternMatchTerminalNode* Terminal = NodesOf<TPatternMatchTerminalNode>(Rule)[0];
  const std::vector<TActivation*> Items = Terminal->GetActivations().Items();
  ASSERT_EQ(Items.size(), 1000u);
  for (size_t I = 0; I < Items.size(); ++I) {
    EXPECT_EQ(Items[I]->GetToken()->GetFact(), Facts[I * 3]);
    EXPECT_EQ(Items[I], Engine.Activations[I].get());
  }
}

// Matches of different facts can share a sort code (f-1, f-9 and f-2, f-1: 1 * 8 + 9 = 2 * 8 + 1): the
// terminal node keeps one activation per match and a retraction stands down exactly the matches of its fact.
TEST_F(TReteNetworkTest, ATerminalNodeTellsMatchesApartWhoseSortCodesCollide) {
  TRule* Rule = AddRule("pairs", Ps(P(Order, {}), P(Order, {})));
  std::vector<IFact> Facts;
  for (int32_t I = 1; I <= 9; ++I) Facts.push_back(Assert(Order, {{"id", Int(I)}}));
  ASSERT_EQ(Engine.Activations.size(), 81u);
  auto Holds = [&](const std::string& Line) {
    const std::vector<std::string> Lines = Agenda();
    return std::find(Lines.begin(), Lines.end(), Line) != Lines.end();
  };
  EXPECT_TRUE(Holds("pairs: f-1, f-9"));
  EXPECT_TRUE(Holds("pairs: f-2, f-1"));
  // The same match arriving again adds nothing.
  Net->ProcessToken(MakeRef<TIEToken>(taAdd, Facts[0]));
  EXPECT_EQ(Engine.Activations.size(), 81u);

  Retract(Facts[8]);
  EXPECT_EQ(Engine.Activations.size(), 64u);
  EXPECT_FALSE(Holds("pairs: f-1, f-9"));
  EXPECT_TRUE(Holds("pairs: f-2, f-1"));
  Retract(Facts[0]);
  EXPECT_EQ(Engine.Activations.size(), 49u);
  EXPECT_FALSE(Holds("pairs: f-2, f-1"));
  EXPECT_TRUE(Holds("pairs: f-2, f-8"));
  EXPECT_EQ(NodesOf<TPatternMatchTerminalNode>(Rule)[0]->GetActivationCount(), 49);
}

// ---- one-input tests

TEST_F(TReteNetworkTest, AClassTypeNodeAcceptsFactsOfDescendantTemplates) {
  // Templates of no engine: a child template copies its parent's slots without reading them anew.
  IFactTemplate Vehicle = MakeRef<TFactTemplate>(nullptr, "vehicle");
  Vehicle->AddSlot("wheels", FCNil);
  IFactTemplate Car = MakeRef<TFactTemplate>(nullptr, "car", "", Vehicle);
  IFactTemplate Racer = MakeRef<TFactTemplate>(nullptr, "racer", "", Car);
  ASSERT_EQ(Racer->GetParent(), Car);
  AddRule("any", Ps(P(Vehicle, {{"wheels", Int(4)}})));
  Assert(Car, {{"wheels", Int(4)}});
  Assert(Racer, {{"wheels", Int(4)}});
  Assert(Racer, {{"wheels", Int(3)}});
  Assert(Person, {});
  EXPECT_EQ(Agenda(), (Lines{"any: f-1", "any: f-2"}));
}

TEST_F(TReteNetworkTest, AMultifieldVariableSplitsTheSlotLongestRunFirst) {
  auto Items = [&](std::vector<IIEValue> Values) { return Make(Bag, {{"items", List(std::move(Values))}}); };
  // Each split reaches the terminal node as a copy of the fact: one activation per split, in order.
  auto Splits = [&](std::vector<TTest> Tests, const IFact& Fact) {
    Engine.Facts.clear();
    TRule* Rule = AddRule("split", Ps(P(Bag, std::move(Tests))));
    Assert(Fact);
    std::vector<std::string> Seen;
    for (const auto& Activation : Engine.Activations) {
      EXPECT_EQ(Activation->GetToken()->GetFact()->GetID(), Fact->GetID());
      Seen.push_back(Shape(Activation->GetToken()->GetFact()->GetValue("items")));
    }
    Net->RemoveRule(Rule);
    return Seen;
  };
  const IFact ABC = Items({Atom("a"), Atom("b"), Atom("c")});
  EXPECT_EQ(Splits({{"items", MultiVar("x"), 0}}, ABC),
            (Lines{"((a b c))", "((a b) c)", "((a) b c)", "(() a b c)"}));
  EXPECT_EQ(Splits({{"items", Var("first"), 0}, {"items", MultiVar("x"), 1}}, ABC),
            (Lines{"(a (b c))", "(a (b) c)", "(a () b c)"}));
  EXPECT_EQ(Splits({{"items", MultiVar("x"), 3}}, ABC), (Lines{"(a b c ())"}));
  EXPECT_TRUE(Splits({{"items", MultiVar("x"), 4}}, ABC).empty());
  EXPECT_EQ(Shape(ABC->GetValue("items")), "(a b c)");  // the fact itself is never changed
  Engine.TypeChecks = {};
  const IFact Nil = Make(Bag, {{"items", FCNil}});
  EXPECT_EQ(Splits({{"items", MultiVar("x"), 0}}, Nil), (Lines{FCNil->GetToString()}));
  Engine.Facts.clear();

  // In a rule: ($?x c) with the slot's length fixed at two fields matches only ((a b) c).
  auto Tail = P(Bag, {{"items", MultiVar("x"), 0}, {"items", Atom("c"), 1}});
  Tail->SetSlotLength(Tail->IndexOfSlotName("items"), 2);
  TRule* Rule = AddRule("tail", Ps(std::move(Tail)));
  EXPECT_EQ(Net->GetRuleTrace(Rule), "tail: +1+1+1+1+t");
  IFact Fact = Assert(Items({Atom("a"), Atom("b"), Atom("c")}));
  Assert(Items({Atom("a"), Atom("c"), Atom("b")}));
  ASSERT_EQ(Agenda(), (Lines{"tail: f-" + std::to_string(Fact->GetID())}));
  EXPECT_EQ(Shape(Engine.Activations[0]->GetToken()->GetFact()->GetValue("items")), "((a b) c)");
  Retract(Fact);  // the retraction's own split finds the stored one
  EXPECT_TRUE(Agenda().empty());
}

TEST_F(TReteNetworkTest, ARepeatedMultifieldVariableSplitsOnlyAtItsFirstRunsLength) {
  auto Items = [&](std::vector<IIEValue> Values) { return Make(Bag, {{"items", List(std::move(Values))}}); };
  auto Fields = [&](int32_t Count, const IIEValue& Value) { return std::vector<IIEValue>(Count, Value); };
  auto Bagged = [&](std::vector<TTest> Tests, int32_t Length) {
    auto Pattern = P(Bag, std::move(Tests));
    if (Length >= 0) Pattern->SetSlotLength(Pattern->IndexOfSlotName("items"), Length);
    return Pattern;
  };
  auto Shapes = [&] {
    std::vector<std::string> Seen;
    for (const auto& Activation : Engine.Activations)
      Seen.push_back(Shape(Activation->GetToken()->GetFact()->GetValue("items")));
    return Seen;
  };
  auto Fired = [&](std::vector<TTest> Tests, int32_t Length, const IFact& Fact) {
    Engine.Facts.clear();
    TRule* Rule = AddRule("r", Ps(Bagged(std::move(Tests), Length)));
    Assert(Fact);
    std::vector<std::string> Seen = Shapes();
    Net->RemoveRule(Rule);
    return Seen;
  };
  const IIEValue X = Atom("x");
  const IIEValue Zero = Int(0);

  // ($?x x ?x ... ?x), the variable fourteen times: once tried 85 choose 14 splits on seventy fields.
  std::vector<TTest> Many{{"items", MultiVar("x"), 0}, {"items", X, 1}};
  for (int32_t I = 2; I < 15; ++I) Many.push_back({"items", MultiVar("x"), I});
  EXPECT_TRUE(Fired(Many, 15, Items(Fields(70, X))).empty());
  // Seventy-one fields: runs of five.
  const auto Matched = Fired(Many, 15, Items(Fields(71, X)));
  ASSERT_EQ(Matched.size(), 1u);
  EXPECT_EQ(Matched[0].substr(0, 38), "((x x x x x) x (x x x x x) (x x x x x)");
  std::vector<IIEValue> Two = Fields(29, Zero);
  Two[2] = X;
  EXPECT_EQ(Fired(Many, 15, Items(Two)).size(), 1u);
  Two[27] = X;
  EXPECT_TRUE(Fired(Many, 15, Items(Two)).empty());

  // Without a fixed length the rest of the slot is free: runs of every length still repeat.
  const std::vector<TTest> Twice{{"items", MultiVar("x"), 0}, {"items", MultiVar("x"), 1}};
  EXPECT_EQ(Fired(Twice, -1, Items({Int(1), Int(2), Int(1), Int(2), Int(3)})),
            (Lines{"((1 2) (1 2) 3)", "(() () 1 2 1 2 3)"}));
  // A negated later place takes every length; only the split into equal runs fails.
  EXPECT_EQ(
      Fired({{"items", MultiVar("x"), 0}, {"items", MultiVar("x"), 1, true}}, 2, Items({Int(1), Int(1)})),
      (Lines{"((1 1) ())", "(() (1 1))"}));
  // Two splits at one position move the first run: the later one is not limited by it (each split of (a b)
  // into N entries splits again N + 1 ways, and the comparison reads the same field twice).
  EXPECT_EQ(
      Fired({{"items", MultiVar("x"), 0}, {"items", MultiVar("x"), 0}}, -1, Items({Atom("a"), Atom("b")}))
          .size(),
      9u);

  // Rules sharing the splits keep every match of each, in the order the shared splits make them, and a
  // retraction withdraws them; the limits stay wide enough for the rule left.
  Engine.Facts.clear();
  TRule* Same = AddRule("same", Ps(Bagged(Twice, 2)));
  TRule* Any = AddRule("any", Ps(Bagged({{"items", MultiVar("x"), 0}, {"items", MultiVar("y"), 1}}, 2)));
  EXPECT_EQ(Net->GetRuleTrace(Any).substr(0, 10), "any: =1=1=");
  const IFact Halves = Assert(Items({Int(1), Int(2), Int(1), Int(2)}));
  const std::string F = "f-" + std::to_string(Halves->GetID());
  EXPECT_EQ(Agenda(), (Lines{"any: " + F, "any: " + F, "same: " + F, "any: " + F, "any: " + F, "any: " + F}));
  EXPECT_EQ(Shapes()[2], "((1 2) (1 2))");
  Retract(Halves);
  EXPECT_TRUE(Agenda().empty());
  Net->RemoveRule(Same);
  Assert(Items({Int(5), Int(5)}));
  EXPECT_EQ(Shapes(), (Lines{"((5 5) ())", "((5) (5))", "(() (5 5))"}));
  Net->RemoveRule(Any);
}

TEST_F(TReteNetworkTest, TheSplitsOfOneFactAreActivationsOfTheirOwnAndLeaveWithIt) {
  // ($?x $?y $?z) on 80 fields: 3,321 splits of one fact, each an activation. They share the fact's ID; the
  // terminal node tells them apart by their runs, so none is taken for another, and the retraction's splits
  // find each one.
  std::vector<IIEValue> Values;
  for (int32_t I = 0; I < 80; ++I) Values.push_back(Int(I % 5));
  auto Three =
      P(Bag, {{"items", MultiVar("x"), 0}, {"items", MultiVar("y"), 1}, {"items", MultiVar("z"), 2}});
  Three->SetSlotLength(Three->IndexOfSlotName("items"), 3);
  TRule* Rule = AddRule("three", Ps(std::move(Three)));
  const IFact Fact = Assert(Make(Bag, {{"items", List(Values)}}));
  EXPECT_EQ(Engine.Activations.size(), 3321u);
  EXPECT_EQ(Shape(Engine.Activations[0]->GetToken()->GetFact()->GetValue("items")).substr(0, 8), "((0 1 2 ");
  Retract(Fact);
  EXPECT_TRUE(Engine.Activations.empty());
  Net->RemoveRule(Rule);

  // Split on the left of a join: the joined tokens keep the split's key, both facts withdraw theirs.
  auto Two = P(Bag, {{"items", MultiVar("x"), 0}, {"items", MultiVar("y"), 1}});
  Two->SetSlotLength(Two->IndexOfSlotName("items"), 2);
  Rule = AddRule("joined", Ps(std::move(Two), P(Order, {})));
  const IFact Bag5 = Assert(Make(Bag, {{"items", List({Int(1), Int(1), Int(1), Int(1)})}}));
  IFact Order1 = Assert(Order, {{"id", Int(1)}});
  EXPECT_EQ(Engine.Activations.size(), 5u);
  Retract(Order1);
  EXPECT_TRUE(Engine.Activations.empty());
  Order1 = Assert(Order, {{"id", Int(1)}});
  EXPECT_EQ(Engine.Activations.size(), 5u);
  Retract(Bag5);
  EXPECT_TRUE(Engine.Activations.empty());
  Net->RemoveRule(Rule);
}

TEST_F(TReteNetworkTest, MultislotFieldAndLengthTestsStopFactsWithoutThatField) {
  TRule* Rule = AddRule("second", Ps(P(Person, {{"kids", Atom("bob"), 1}, {"kids", Atom("cy"), 2, true}})));
  const auto Nodes = NodesOf<TPatternMatchNode>(Rule);
  ASSERT_EQ(Nodes.size(), 3u);
  EXPECT_EQ(Nodes[1]->GetPatternMatchTest(), pmtTestMultiSlotEqual);
  EXPECT_EQ(Nodes[2]->GetPatternMatchTest(), pmtTestMultiSlotNotEqual);
  Assert(Person, {{"kids", List({Atom("ann"), Atom("bob"), Atom("dan")})}});
  Assert(Person, {{"kids", List({Atom("ann"), Atom("bob"), Atom("cy")})}});
  Assert(Person,
         {{"kids", List({Atom("ann"), Atom("bob")})}});  // no third field: the not-equal test stops it
  Assert(Person, {{"kids", List({Atom("bob")})}});
  EXPECT_EQ(Agenda(), (Lines{"second: f-1"}));
}

// ---- backward chaining

TEST_F(TReteNetworkTest, ALeftTokenWithoutPartnerAsksForABackwardChainingGoal) {
  Person->SetBackwardChaining(true);
  IFactTemplate Need = MakeTemplate("need-person", {"name", "nick", "age"}, {"kids"});
  TRule* Rule = AddRule("bc", Ps(P(Order, {{"customer", Var("c")}, {"id", Var("o")}}),
                                 P(Person, {{"name", Var("c")},
                                            {"age", Int(40)},
                                            {"nick", Atom("x"), NoSubIndex, true},
                                            {"kids", Var("o"), 1},
                                            {"kids", Atom("first"), 0}})));
  TJoinNode* Join = NodesOf<TJoinNode>(Rule)[0];
  EXPECT_EQ(Join->GetPattern(), Rule->GetPattern(1));
  EXPECT_EQ(Join->GetRule(), Rule);

  Assert(Person, {{"name", Atom("ann")}, {"age", Int(40)}, {"kids", List({Atom("first"), Int(7)})}});
  Assert(Order, {{"customer", Atom("ann")}, {"id", Int(7)}});
  EXPECT_TRUE(Engine.PendingFacts.empty());  // a partner was there
  Assert(Order, {{"customer", Atom("bob")}, {"id", Int(8)}});
  ASSERT_EQ(Engine.PendingFacts.size(), 1u);
  const IFact& Goal = Engine.PendingFacts[0];
  EXPECT_EQ(Goal->GetTemplate(), Need);
  EXPECT_EQ(Goal->GetValue("name")->GetToString(), "bob");
  EXPECT_EQ(Goal->GetValue("age")->GetAsInteger(), 40);
  EXPECT_EQ(Goal->GetValue("nick").get(), FCNil.get());  // a not-equal test says nothing of the goal
  EXPECT_EQ(Shape(Goal->GetValue("kids")), "(first 8)");
  EXPECT_EQ(Agenda(), (Lines{"bc: f-2, f-1"}));

  // Only backward-chaining patterns belong there, and they may not hold calls.
  ExpectError([&] { Join->SetPattern(Rule->GetPattern(0), Rule); },
              "Invalid backward chaining pattern added to the node");
  TRule* Bad = NewRule(
      "bad", Ps(P(Order, {{"customer", Var("c")}}),
                P(Person, {{"name", Var("c")}, {"age", Var("a")}, {"age", Call(">", {Var("a"), Int(3)})}})));
  ExpectError([&] { Net->AddRule(Bad); }, "Cannot use Function calls in backchained patterns: person");
  // An explicit pattern asks for nothing.
  Engine.PendingFacts.clear();
  Net->RemoveRule(Rule);
  Rule->GetPattern(1)->SetExplicit(true);
  Net->AddRule(Rule);
  EXPECT_EQ(NodesOf<TJoinNode>(Rule)[0]->GetPattern(), nullptr);
  Assert(Order, {{"customer", Atom("cy")}});
  EXPECT_TRUE(Engine.PendingFacts.empty());
}

// ---- fuzzy matching

TEST_F(TReteNetworkTest, AFuzzyMatchWeakensTheTokenToItsDegree) {
  Engine.TypeChecks = {};
  IFactTemplate Room = MakeTemplate("room", {"temp"});
  auto Warm = [] { return FuzzyPeak(0.4); };
  AddRule("warm", Ps(P(Room, {{"temp", Warm()}})));
  Assert(Room, {{"temp", Warm()}});
  ASSERT_EQ(Engine.Activations.size(), 1u);
  EXPECT_FLOAT_EQ(Engine.Activations[0]->GetStrength(), 0.4f);
  // A token already weaker than the degree goes on as it is.
  IFact Weak = Make(Room, {{"temp", Warm()}});
  Weak->SetID(Engine.NextFactId++);
  IReteToken Token = MakeRef<TIEToken>(taAdd, Weak);
  Token->SetStrength(0.3f);
  Net->ProcessToken(Token);
  ASSERT_EQ(Engine.Activations.size(), 2u);
  EXPECT_FLOAT_EQ(Engine.Activations[1]->GetStrength(), 0.3f);
  // Below the minimum activation strength the token stops.
  Net->SetMinActivationStrength(0.5f);
  Assert(Room, {{"temp", Warm()}});
  EXPECT_EQ(Engine.Activations.size(), 2u);
  Net->SetMinActivationStrength(1.5f);
  EXPECT_FLOAT_EQ(Net->GetMinActivationStrength(), 1.0f);
  Net->SetMinActivationStrength(-1.0f);
  EXPECT_FLOAT_EQ(Net->GetMinActivationStrength(), 0.0f);

  // Fuzzy slots never key a join's memories: their hashes differ from the values they match.
  Room->GetSlot("temp")->SetSlotType(TIETypes{dtFuzzy});
  TRule* Rule = AddRule("join", Ps(P(Room, {{"temp", Var("t")}}), P(Order, {{"id", Var("t")}})));
  EXPECT_FALSE(NodesOf<TJoinNode>(Rule)[0]->GetUseShortCut());
}

TEST_F(TReteNetworkTest, AWeakenedBlockerStillWithdrawsAndRestoresTheMatch) {
  Engine.TypeChecks = {};
  IFactTemplate Room = MakeTemplate("room", {"temp"});
  AddRule("calm", Ps(P(Order, {}), P(Room, {{"temp", FuzzyPeak(0.4)}}, 1)));
  Assert(Order, {});
  ASSERT_EQ(Agenda(), (Lines{"calm: f-1"}));
  IFact Hot = Assert(Room, {{"temp", FuzzyPeak(0.4)}});  // reaches the join with strength 0.4
  EXPECT_TRUE(Agenda().empty());
  Retract(Hot);
  EXPECT_EQ(Agenda(), (Lines{"calm: f-1"}));
}

// ---- text forms

TEST_F(TReteNetworkTest, NodesDescribeThemselvesAndTheNetworkListsItselfAsATree) {
  TRule* Rule = AddRule(
      "text", Ps(P(Order, {{"customer", Var("c")}, {"id", Int(3)}}), P(Customer, {{"id", Var("c")}}, 1)));
  const auto Nodes = *Net->GetRuleNodesList(Rule);
  ASSERT_EQ(Nodes.size(), 5u);
  EXPECT_EQ(Nodes[0]->GetToString(),
            "TPatternMatchNode#1 In/Out#: 0/1 RuleUse: 1 Value: order Test: pmtTestClassType Args: (0, 0)");
  EXPECT_EQ(Nodes[1]->GetToString(),
            "TPatternMatchNode#2 In/Out#: 1/1 RuleUse: 1 Value: 3 Test: pmtTestEqual Args: (id, -1)");
  EXPECT_EQ(
      Nodes[3]->GetToString(),
      "TJoinNode#4 In/Out#: 2/1 RuleUse: 1 NumTests: 1 (= tstSlot TokenIdx: 0 Left: customer Right: id) "
      "*NEGATED*");
  EXPECT_EQ(Nodes[4]->GetToString(), "TPatternMatchTerminalNode#5 In/Out#: 1/0 RuleUse: 1 Rule: text");
  Assert(Order, {{"customer", Atom("bob")}, {"id", Int(3)}});
  EXPECT_NE(Nodes[3]->GetToString().find(" Left Memory: "), std::string::npos);
  EXPECT_NE(Nodes[3]->GetToString().find(" Right Memory: "), std::string::npos);

  ExpectError([&] { Nodes[3]->CallNode(MakeRef<TIEToken>(taAdd, Make(Order, {})), ctSingle); },
              "Invalid Call Type: ctSingle");

  TTreeNodes Tree;
  Tree.Add("stale");
  Net->AssignTo(&Tree);
  ASSERT_EQ(Tree.Count(), 2);
  EXPECT_EQ(Tree.Item(0)->GetText(), Nodes[0]->GetToString());
  ASSERT_EQ(Tree.Item(0)->Count(), 1);
  const TTreeNode* Test = Tree.Item(0)->Item(0);
  EXPECT_EQ(Test->GetText(), "ctSingle " + Nodes[1]->GetToString());
  ASSERT_EQ(Test->Count(), 1);
  EXPECT_EQ(Test->Item(0)->GetText().rfind("ctLeft TJoinNode#4", 0), 0u);
  EXPECT_EQ(Test->Item(0)->Item(0)->GetText(), "ctActivate " + Nodes[4]->GetToString());
  EXPECT_EQ(Tree.Item(1)->Item(0)->GetText().rfind("ctRight TJoinNode#4", 0), 0u);
  TBindingInfo Other;
  EXPECT_THROW(Net->AssignTo(&Other), EConvertError);
}

// ---- priming without disturbing earlier rules

TEST_F(TReteNetworkTest, PrimingFeedsNewNodesFromSharedOnesAndLeavesEarlierRulesAlone) {
  TRule* First = AddRule("first", Ps(P(Order, {{"customer", Var("c")}}), P(Customer, {{"id", Var("c")}})));
  Assert(Order, {{"id", Int(1)}, {"customer", Atom("bob")}});
  Assert(Order, {{"id", Int(2)}, {"customer", Atom("ann")}});
  Assert(Customer, {{"id", Atom("bob")}});
  Assert(Customer, {{"id", Atom("ann")}});
  Assert(Blocked, {{"id", Atom("ann")}});
  ASSERT_EQ(Agenda(), (Lines{"first: f-1, f-3", "first: f-2, f-4"}));
  // The first activation fires: it leaves the agenda for good.
  Engine.Activations.front()->Fire();
  Engine.Activations.erase(Engine.Activations.begin());
  const TJoinNode* Shared = NodesOf<TJoinNode>(First)[0];
  const size_t LeftHeld = Shared->GetLeftMemory()->Count();
  const size_t RightHeld = Shared->GetRightMemory()->Count();

  // The same patterns again: the new terminal node hangs below the shared join and gets what it holds.
  TRule* Twin = AddRule("twin", Ps(P(Order, {{"customer", Var("c")}}), P(Customer, {{"id", Var("c")}})));
  EXPECT_EQ(Net->GetRuleTrace(Twin), "twin: =1=1=2+t");
  EXPECT_EQ(Agenda(), (Lines{"first: f-2, f-4", "twin: f-1, f-3", "twin: f-2, f-4"}));
  // A new join below the shared join is fed from its current output and from the facts of its own pattern.
  TRule* Longer = AddRule("longer", Ps(P(Order, {{"customer", Var("c")}}), P(Customer, {{"id", Var("c")}}),
                                       P(Blocked, {{"id", Var("c")}})));
  EXPECT_EQ(Net->GetRuleTrace(Longer), "longer: =1=1+1=2+2+t");
  EXPECT_EQ(Agenda(),
            (Lines{"first: f-2, f-4", "twin: f-1, f-3", "twin: f-2, f-4", "longer: f-2, f-4, f-5"}));
  // A negated join below the shared join: only the unblocked match comes.
  AddRule("clear", Ps(P(Order, {{"customer", Var("c")}}), P(Customer, {{"id", Var("c")}}),
                      P(Blocked, {{"id", Var("c")}}, 1)));
  EXPECT_EQ(Agenda().back(), "clear: f-1, f-3");
  EXPECT_EQ(Agenda().size(), 5u);
  // The shared join saw nothing twice, and later changes reach every rule.
  EXPECT_EQ(Shared->GetLeftMemory()->Count(), LeftHeld);
  EXPECT_EQ(Shared->GetRightMemory()->Count(), RightHeld);
  IFact Cy = Assert(Order, {{"id", Int(3)}, {"customer", Atom("cy")}});
  Assert(Customer, {{"id", Atom("cy")}});
  EXPECT_EQ(Agenda().size(), 8u);
  Retract(Cy);
  EXPECT_EQ(Agenda().size(), 5u);
}

TEST_F(TReteNetworkTest, ANewRuleOnSharedPatternNodesGetsEachFactOnce) {
  AddRule("any", Ps(P(Order, {{"customer", Atom("bob")}})));
  Assert(Order, {{"customer", Atom("bob")}});
  Assert(Order, {{"customer", Atom("ann")}});
  // Shares the class-type and constant nodes; the multifield-free chain below them is its own.
  AddRule("pair", Ps(P(Order, {{"customer", Atom("bob")}}), P(Order, {{"customer", Atom("ann")}})));
  AddRule("same", Ps(P(Order, {{"customer", Atom("bob")}})));
  EXPECT_EQ(Agenda(), (Lines{"any: f-1", "pair: f-1, f-2", "same: f-1"}));
}

// ---- doubled negation

TEST_F(TReteNetworkTest, ExistsJoinsEachMatchOnlyWithTheBlockersOfItsOwnPartialMatch) {
  AddRule("served", Ps(P(Order, {{"customer", Var("c")}}), P(Customer, {{"id", Var("c")}}, 2)));
  IFact Bob = Assert(Order, {{"customer", Atom("bob")}});
  Assert(Order, {{"customer", Atom("ann")}});
  EXPECT_TRUE(Agenda().empty());
  // One order with a customer fires although the other order still has none.
  IFact First = Assert(Customer, {{"id", Atom("bob")}, {"name", Atom("Bob")}});
  EXPECT_EQ(Agenda(), (Lines{"served: f-1"}));
  IFact Second = Assert(Customer, {{"id", Atom("bob")}, {"name", Atom("Robert")}});
  EXPECT_EQ(Agenda(), (Lines{"served: f-1"}));  // exists: once, however many
  IFact Ann = Assert(Customer, {{"id", Atom("ann")}});
  EXPECT_EQ(Agenda(), (Lines{"served: f-1", "served: f-2"}));
  Retract(First);
  EXPECT_EQ(Agenda(), (Lines{"served: f-1", "served: f-2"}));
  Retract(Second);
  EXPECT_EQ(Agenda(), (Lines{"served: f-2"}));
  Retract(Bob);
  Retract(Ann);
  EXPECT_TRUE(Agenda().empty());
  // A rule added later is primed the same way.
  Assert(Customer, {{"id", Atom("ann")}});
  AddRule("late", Ps(P(Order, {{"customer", Var("c")}}), P(Customer, {{"id", Var("c")}}, 2)));
  EXPECT_EQ(Agenda(), (Lines{"served: f-2", "late: f-2"}));
}

// ---- retraction follows the path of the addition

TEST_F(TReteNetworkTest, ARemovalWithdrawsWhatItsAdditionMadeWhateverCallsAnswerNow) {
  Engine.GetContext()->AddGlobalBinding("*min*", Int(0));
  auto Above = [&](const std::string& Variable) { return Call(">", {Var(Variable), Var("*min*")}); };
  // A call in a one-input node, a call in a join, a call in a test element and a call in a negated join.
  AddRule("node", Ps(P(Order, {{"id", Var("o")}, {"id", Above("o")}})));
  AddRule("join", Ps(P(Order, {{"id", Var("o")}}),
                     P(Customer, {{"id", Var("i")}, {"id", Call(">", {Var("i"), Var("o")})}})));
  AddRule("test", Ps(P(Order, {{"id", Var("o")}}), TestCE(Above("o"))));
  AddRule("free", Ps(P(Order, {{"id", Var("o")}}), P(Blocked, {{"id", Var("b")}, {"id", Above("b")}}, 1)));

  IFact Order1 = Assert(Order, {{"id", Int(1)}});
  IFact Customer2 = Assert(Customer, {{"id", Int(2)}});
  EXPECT_EQ(Agenda(), (Lines{"node: f-1", "test: f-1", "free: f-1", "join: f-1, f-2"}));
  IFact Blocker = Assert(Blocked, {{"id", Int(5)}});
  EXPECT_EQ(Agenda(), (Lines{"node: f-1", "test: f-1", "join: f-1, f-2"}));
  // Every call would now answer FALSE: the removals still withdraw and unblock exactly what they made.
  Engine.GetContext()->AddGlobalBinding("*min*", Int(100));
  Retract(Blocker);
  EXPECT_EQ(Agenda(), (Lines{"node: f-1", "test: f-1", "join: f-1, f-2", "free: f-1"}));
  Retract(Customer2);
  Retract(Order1);
  EXPECT_TRUE(Agenda().empty());
}

TEST_F(TReteNetworkTest, ANegatedJoinUnblocksOnlyWhatTheRemovedFactBlocked) {
  Engine.GetContext()->AddGlobalBinding("*min*", Int(10));
  AddRule("free", Ps(P(Order, {{"id", Var("o")}}),
                     P(Blocked, {{"id", Var("b")}, {"id", Call(">", {Var("b"), Var("*min*")})}}, 1)));
  Assert(Order, {{"id", Int(1)}});
  IFact Small = Assert(Blocked, {{"id", Int(5)}});  // below the minimum: blocks nothing
  EXPECT_EQ(Agenda(), (Lines{"free: f-1"}));
  Engine.GetContext()->AddGlobalBinding("*min*", Int(0));
  IFact Large = Assert(Blocked, {{"id", Int(50)}});
  EXPECT_TRUE(Agenda().empty());
  // The small one blocked nothing: removing it must not lift the large one's block.
  Retract(Small);
  EXPECT_TRUE(Agenda().empty());
  Retract(Large);
  EXPECT_EQ(Agenda(), (Lines{"free: f-1"}));
  // A left token that leaves while blocked takes nothing with it; one that passed withdraws its match.
  IFact Again = Assert(Blocked, {{"id", Int(7)}});
  EXPECT_TRUE(Agenda().empty());
  IFact Order2 = Assert(Order, {{"id", Int(2)}});
  Retract(Order2);
  Retract(Again);
  EXPECT_EQ(Agenda(), (Lines{"free: f-1"}));
}

TEST_F(TReteNetworkTest, AWeakMatchIsWithdrawnAfterTheMinimumStrengthRose) {
  Engine.TypeChecks = {};
  IFactTemplate Room = MakeTemplate("room", {"temp"});
  AddRule("warm", Ps(P(Room, {{"temp", FuzzyPeak(0.4)}})));
  Net->SetMinActivationStrength(0.3f);
  IFact Warm = Assert(Room, {{"temp", FuzzyPeak(0.4)}});
  ASSERT_EQ(Engine.Activations.size(), 1u);
  Net->SetMinActivationStrength(0.9f);
  Retract(Warm);
  EXPECT_TRUE(Engine.Activations.empty());
}

// ---- compilation checks

TEST_F(TReteNetworkTest, AVariableOfANegatedPatternCannotBeUsedOutsideIt) {
  const std::string Message =
      "Variable ?c is bound only inside a negated pattern and cannot be used outside it";
  TRule* Later =
      NewRule("later", Ps(P(Order, {}), P(Blocked, {{"id", Var("c")}}, 1), P(Customer, {{"id", Var("c")}})));
  ExpectError([&] { Net->AddRule(Later); }, Message);
  EXPECT_FALSE(Net->IsCompiled(Later));
  TRule* InCall =
      NewRule("in-call", Ps(P(Order, {}), P(Blocked, {{"id", Var("c")}}, 2),
                            P(Customer, {{"id", Var("i")}, {"id", Call(">", {Var("i"), Var("c")})}})));
  ExpectError([&] { Net->AddRule(InCall); }, Message);
  TRule* InAction = NewRule("in-action", Ps(P(Order, {}), P(Blocked, {{"id", Var("c")}}, 1)));
  InAction->AddAction(NewCall(&Engine, "not", {Var("c")}));
  ExpectError([&] { Net->AddRule(InAction); }, Message);
  // Inside its own pattern the variable is fine.
  TRule* Own = AddRule("own", Ps(P(Order, {}), P(Person, {{"name", Var("c")}, {"nick", Var("c")}}, 1)));
  EXPECT_TRUE(Net->IsCompiled(Own));
  EXPECT_EQ(Net->GetNodeCount() > 0, true);
}

TEST_F(TReteNetworkTest, ACallReadingALaterPatternIsTestedAtThatPatternsJoin) {
  // (order (id ?o&:(> ?o ?n))) (customer (id ?n)): the call waits for the customer.
  TRule* Rule = AddRule("bigger", Ps(P(Order, {{"id", Var("o")}, {"id", Call(">", {Var("o"), Var("n")})}}),
                                     P(Customer, {{"id", Var("n")}})));
  const auto Joins = NodesOf<TJoinNode>(Rule);
  ASSERT_EQ(Joins.size(), 1u);
  EXPECT_EQ(Joins[0]->GetTestCount(), 1);
  Assert(Order, {{"id", Int(5)}});
  Assert(Customer, {{"id", Int(3)}});
  Assert(Customer, {{"id", Int(7)}});
  EXPECT_EQ(Agenda(), (Lines{"bigger: f-1, f-2"}));

  // A test element reading a later pattern waits for it too; an earlier one stays where it is written.
  TRule* Deferred =
      AddRule("deferred", Ps(P(Order, {{"id", Var("o")}}), TestCE(Call(">", {Var("n"), Var("o")})),
                             P(Customer, {{"id", Var("n")}})));
  EXPECT_EQ(Agenda(), (Lines{"bigger: f-1, f-2", "deferred: f-1, f-3"}));
  EXPECT_EQ(NodesOf<TJoinNode>(Deferred).back()->GetTestCount(), 1);

  // A negated pattern cannot wait: a clear error.
  TRule* Negated = NewRule(
      "negated", Ps(P(Order, {}), P(Blocked, {{"id", Var("b")}, {"id", Call(">", {Var("b"), Var("n")})}}, 1),
                    P(Customer, {{"id", Var("n")}})));
  ExpectError([&] { Net->AddRule(Negated); },
              "Variable ?n is used in a negated pattern before the pattern that binds it");
}

// ---- activations and terminal nodes

TEST_F(TReteNetworkTest, AFreedActivationLeavesItsTerminalNodeAndADisabledRuleHoldsNone) {
  TRule* Rule = AddRule("r", Ps(P(Order, {})));
  Assert(Order, {{"id", Int(1)}});
  Assert(Order, {{"id", Int(2)}});
  TPatternMatchTerminalNode* Terminal = NodesOf<TPatternMatchTerminalNode>(Rule)[0];
  ASSERT_EQ(Terminal->GetActivationCount(), 2);
  // The agenda frees an activation without telling the network (as a cleared agenda does).
  Engine.Activations.erase(Engine.Activations.begin());
  EXPECT_EQ(Terminal->GetActivationCount(), 1);
  // Disabling the rule (the engine compiles it again) withdraws its activations; enabling primes it anew.
  TRule* Other = AddRule("other", Ps(P(Order, {{"id", Int(1)}})));
  Rule->SetEnabled(false);
  Net->RemoveRule(Rule);
  Net->AddRule(Rule);
  EXPECT_EQ(Agenda(), (Lines{"other: f-1"}));
  Rule->SetEnabled(true);
  Net->RemoveRule(Rule);
  Net->AddRule(Rule);
  EXPECT_EQ(Agenda(), (Lines{"other: f-1", "r: f-1", "r: f-2"}));
  // Removing a rule stands its terminal node's activations down before the node goes.
  Net->RemoveRule(Other);
  EXPECT_EQ(Agenda(), (Lines{"r: f-1", "r: f-2"}));
}
