// Rules: pattern bindings and their checks, the initial-fact pattern, placeholders of negated patterns,
// goal patterns, salience, names, firing actions against a token, copying and the printed form.
#include <gtest/gtest.h>

#include "../FakeRuleEngine.h"
#include "../TestValues.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TRuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Engine.AddTestFunctions();
    Person = Engine.CreateFactTemplate("person");
    Person->AddSlot("name", Atom(""));
    Person->AddSlot("age", Int(0));
    Person->AddMultiSlot("kids", FCNilList);
    Stop = Engine.CreateFactTemplate("stop");
    Stop->AddMultiSlot("__Data", FCNilList);
  }

  std::unique_ptr<TIEPattern> PersonPattern(std::vector<std::pair<std::string, IIEValue>> Tests,
                                            int32_t Negated = 0, bool NegatedTests = false) {
    auto Pattern = std::make_unique<TIEPattern>(&Engine, "person", Person, Negated);
    for (auto& [Slot, Value] : Tests) Pattern->AddTest(Slot, Value, NoSubIndex, NegatedTests, true);
    return Pattern;
  }

  TRule* NewRule(const std::string& Name) {
    auto* Rule = new TRule(&Engine);
    Rule->SetRuleName(Name);
    return Rule;
  }

  IFact PersonFact(int32_t Id, const std::string& Name, int32_t Age) {
    IFact Fact = Person->NewFact();
    Fact->SetValue("name", Atom(Name));
    Fact->SetValue("age", Int(Age));
    Fact->SetValue("kids", List({Atom("ann"), Atom("bob")}));
    Fact->SetID(Id);
    return Fact;
  }

  TFakeRuleEngine Engine;
  IFactTemplate Person;
  IFactTemplate Stop;
};

// A host function that records the value of its argument each time it runs.
class TRecordFunction final : public TIEUserFunction {
 public:
  explicit TRecordFunction(std::vector<std::string>* Log) : TIEUserFunction("record", 1, 1), FLog(Log) {}

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    FLog->push_back(Arg(FunCall, 0, Context)->GetToString());
    Result = FCTrue;
  }

 private:
  std::vector<std::string>* FLog;
};

}  // namespace

TEST_F(TRuleTest, NewRulesTakeIdentifierAndNameFromTheEngine) {
  TRule* A = new TRule(&Engine);
  TRule* B = new TRule(&Engine);
  EXPECT_EQ(A->GetRuleName(), "Rule_" + std::to_string(A->GetRuleId()));
  EXPECT_EQ(B->GetRuleId(), A->GetRuleId() + 1);
  ExpectError([&] { A->SetRuleName("bad name"); },
              "Invalid name: bad name, the character \" \" is not allowed");
  TRule Orphan(nullptr);
  ExpectError([&] { Orphan.AppendPattern(PersonPattern({})); }, "Unknown/Undefined Inference Engine");
}

TEST_F(TRuleTest, VariablesAreBoundWhereTheyFirstAppear) {
  TRule* Rule = NewRule("r");
  Rule->AppendPattern(PersonPattern({{"name", Var("n")}, {"age", Var("a")}}));
  auto Second = PersonPattern({{"name", Var("n")}});
  Second->SetBoundName("f");
  Rule->AppendPattern(std::move(Second));
  ASSERT_EQ(Rule->GetBindingCount(), 3);
  const TBinding* N = Rule->GetBindingByName("n");
  EXPECT_EQ(N->GetFactIndex(), 0);
  EXPECT_EQ(N->GetSlotIndex(), "name");
  EXPECT_EQ(Rule->GetBindingByName("a")->GetSlotIndex(), "age");
  const TBinding* F = Rule->GetBindingByName("f");
  EXPECT_EQ(F->GetFactIndex(), 1);
  EXPECT_EQ(F->GetSlotIndex(), SPatternBinding);
  // A multifield variable is bound to its field of the multislot.
  TRule* Multi = NewRule("m");
  auto Kids = PersonPattern({});
  Kids->AddTest("kids", Var("first"), 0, false, true);
  Kids->AddTest("kids", MultiVar("rest"), 1, false, true);
  Multi->AppendPattern(std::move(Kids));
  EXPECT_EQ(Multi->GetBindingByName("first")->GetSubIndex(), 0);
  EXPECT_EQ(Multi->GetBindingByName("rest")->GetSubIndex(), 1);
  EXPECT_EQ(Multi->GetBindingByName("rest")->GetSlotIndex(), "kids");
  // The same binding added again is the existing one.
  EXPECT_EQ(Rule->AddBinding("n", 0, "name", NoSubIndex), N);
}

TEST_F(TRuleTest, NegatedFirstUseIsRefusedInPositivePatterns) {
  TRule* Rule = NewRule("r");
  ExpectError(
      [&] {
        Rule->AppendPattern(PersonPattern({{"name", Var("x")}}, 0, true));
      },
      "First Use of Variable is negated, variable name is x");
  EXPECT_EQ(Rule->GetPatternCount(), 0);  // the refused pattern is not kept
  // Inside a negated pattern a variable may be first used in a not-equals test.
  Rule->AppendPattern(PersonPattern({{"name", Var("y")}}));
  Rule->AppendPattern(PersonPattern({{"age", Var("z")}}, 1, true));
  EXPECT_EQ(Rule->GetPatternCount(), 2);
}

TEST_F(TRuleTest, LeadingNegatedPatternsStartFromTheInitialFact) {
  TRule* Rule = NewRule("r");
  auto Negated = std::make_unique<TIEPattern>(&Engine, "stop", Stop, 1);
  Negated->AddTest("__Data", Var("why"), 0, false, true);
  Rule->AppendPattern(std::move(Negated));
  ASSERT_EQ(Rule->GetPatternCount(), 2);
  EXPECT_EQ(Rule->GetPattern(0)->GetName(), SInitialFactPattern);
  EXPECT_EQ(Rule->GetPattern(0)->GetOwner(), Rule);
  EXPECT_EQ(Rule->GetBindingByName("why")->GetFactIndex(), 1);  // positions count the initial fact

  TRule* Test = NewRule("t");
  auto TestCE = std::make_unique<TIEPattern>(&Engine, STestCE, Stop, 0);
  Test->AppendPattern(std::move(TestCE));
  EXPECT_EQ(Test->GetPattern(0)->GetName(), SInitialFactPattern);
}

TEST_F(TRuleTest, PlaceholdersOfNegatedPatternsGetNamesOfTheirOwn) {
  TRule* Rule = NewRule("r");
  Rule->AppendPattern(PersonPattern({{"name", Var("n")}}));
  Rule->AppendPattern(PersonPattern({{"name", Var("_blank_1")}}, 1));
  Rule->AppendPattern(PersonPattern({{"name", Var("_blank_1")}}, 1));
  const std::string First = Rule->GetPattern(1)
                                ->GetSlotTest(Rule->GetPattern(1)->IndexOfSlotName("name"), 0)
                                ->GetSlotValue()
                                ->GetAsString();
  const std::string Second = Rule->GetPattern(2)
                                 ->GetSlotTest(Rule->GetPattern(2)->IndexOfSlotName("name"), 0)
                                 ->GetSlotValue()
                                 ->GetAsString();
  EXPECT_NE(First, Second);
  EXPECT_EQ(First, "_2__blank_1");
  EXPECT_NE(Rule->GetBindingByName(First), nullptr);
  EXPECT_NE(Rule->GetBindingByName(Second), nullptr);
}

TEST_F(TRuleTest, GoalPatternsGetAFactBindingAndACompanion) {
  IFactTemplate Need = Engine.CreateFactTemplate("need-person");
  Need->AddSlot("name", Atom(""));
  TRule* Rule = NewRule("r");
  auto Goal = std::make_unique<TIEPattern>(&Engine, "need-person", Need, 0);
  Goal->AddTest("name", Var("n"), NoSubIndex, false, true);
  Rule->AppendPattern(std::move(Goal));
  ASSERT_EQ(Rule->GetPatternCount(), 2);
  EXPECT_EQ(Rule->GetPattern(0)->GetBoundName().rfind(SFactPrefix, 0), 0u);
  EXPECT_EQ(Rule->GetPattern(1)->GetName(), "person");
  EXPECT_EQ(Rule->GetPattern(1)->GetNegatedCount(), 1);
  EXPECT_TRUE(Rule->GetPattern(1)->GetBoundName().empty());
  // The companion is not written: the rule's text reads back to the same rule.
  EXPECT_EQ(PrettyPrintRule(*Rule, rcPattern).find("(not"), std::string::npos);
}

TEST_F(TRuleTest, SalienceChangesAndDynamicEvaluation) {
  TRule* Rule = NewRule("r");
  const int32_t Before = Engine.RuleChanges;
  Rule->SetSalienceInteger(0);
  EXPECT_EQ(Engine.RuleChanges, Before);  // unchanged: no notice
  Rule->SetSalienceInteger(10);
  EXPECT_EQ(Engine.RuleChanges, Before + 1);
  EXPECT_EQ(Rule->GetSalienceValue()->GetAsInteger(), 10);
  // A declared expression is evaluated on demand; evaluating keeps it and recompiles nothing.
  Engine.GetContext()->AddGlobalBinding("*level*", Int(5));
  IIEValue Declared = MakeRef<TIEValue>("*level*", dtVariable);
  Rule->SetSalience(Declared);
  EXPECT_EQ(Rule->GetSalience(), 5);
  const int32_t Changes = Engine.RuleChanges;
  Engine.GetContext()->AddGlobalBinding("*level*", Int(7));
  EXPECT_EQ(Rule->EvaluateSalience(), 7);
  EXPECT_EQ(Rule->GetSalienceValue().get(), Declared.get());
  EXPECT_EQ(Engine.RuleChanges, Changes);
}

TEST_F(TRuleTest, FiringBindsVariablesFromTheToken) {
  std::vector<std::string> Log;
  Engine.AddUserFunction(MakeRef<TRecordFunction>(&Log));
  TRule* Rule = NewRule("greet");
  auto First = PersonPattern({{"name", Var("n")}});
  First->SetBoundName("f");
  First->AddTest("kids", Var("k"), 1, false, true);
  Rule->AppendPattern(std::move(First));
  Rule->AppendPattern(std::make_unique<TIEPattern>(&Engine, "stop", Stop, 1));
  for (const char* Name : {"n", "f", "k", "__RULE"}) Rule->AddAction(NewCall(&Engine, "record", {Var(Name)}));

  IReteToken Root = MakeRef<TIEToken>(taAdd, PersonFact(4, "carl", 40));
  IReteToken Token = MakeRef<TIEToken>(Root, Engine.GetNullFact());
  EXPECT_FALSE(Rule->GetFired());
  Rule->Fire(Token);
  EXPECT_TRUE(Rule->GetFired());
  EXPECT_EQ(Log, (std::vector<std::string>{"carl", "<Fact-4>", "bob", "\"greet\""}));
  Rule->Reset();
  EXPECT_FALSE(Rule->GetFired());
  // The firing context is gone afterwards: the engine's context keeps no local variables.
  EXPECT_EQ(Engine.GetContext()->FindBinding("n"), nullptr);
}

TEST_F(TRuleTest, ActionErrorsLeaveNoFiringContextBehind) {
  TRule* Rule = NewRule("r");
  Rule->AppendPattern(PersonPattern({{"name", Var("n")}}));
  Rule->AddAction(NewCall(&Engine, "missing", {}));
  IReteToken Token = MakeRef<TIEToken>(taAdd, PersonFact(1, "x", 1));
  ExpectError([&] { Rule->Fire(Token); }, "Function is unimplemented or unassigned: missing");
  EXPECT_EQ(Engine.GetContext()->FindBinding("n"), nullptr);
}

TEST_F(TRuleTest, TextAndCopies) {
  TRule* Rule = NewRule("adult");
  Rule->SetComment("grown ups");
  auto Pattern = PersonPattern({{"name", Var("n")}});
  Pattern->AddTest("age", CallValue(NewCall(&Engine, ">", {Var("a"), Int(17)})), NoSubIndex, false, true);
  Rule->AppendPattern(std::move(Pattern));
  Rule->AddAction(NewCall(&Engine, "record", {Var("n")}));
  EXPECT_EQ(Rule->GetToString(),
            "(defrule adult\r\n    \"grown ups\"\r\n    (person (age :(> ?a 17)) (name ?n))\r\n    =>\r\n"
            "    (record ?n))");
  Rule->SetSalienceInteger(5);
  Rule->SetOneShot(true);
  Rule->SetEnabled(false);
  EXPECT_NE(Rule->GetToString().find("    (declare (salience 5) (enabled FALSE) (oneshot TRUE))\r\n"),
            std::string::npos);

  TRule* Copy = new TRule(&Engine);
  Copy->Assign(Rule);
  EXPECT_EQ(Copy->GetRuleName(), "adult");
  EXPECT_EQ(Copy->GetToString(), Rule->GetToString());
  EXPECT_NE(Copy->GetPattern(0), Rule->GetPattern(0));
  EXPECT_NE(Copy->GetAction(0).get(), Rule->GetAction(0).get());
  EXPECT_EQ(Copy->GetBindingCount(), Rule->GetBindingCount());
}

TEST_F(TRuleTest, RegisteredRulesAreRenamedInTheirEngine) {
  TRule* Rule = new TRule(nullptr);
  Rule->SetEngine(&Engine);
  EXPECT_TRUE(Engine.IsRuleRegistered(Rule));
  Rule->SetRuleName("renamed");
  EXPECT_EQ(Engine.Rules.count("renamed"), 1u);
  EXPECT_TRUE(Engine.IsRuleRegistered(Rule));
  Rule->SetEngine(nullptr);
  EXPECT_EQ(Engine.Rules.count("renamed"), 0u);
  delete Rule;
}
