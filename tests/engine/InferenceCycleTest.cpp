// The inference cycle: run limits, halt, the current activation, strategy changes, events and watch output,
// statistics, globals at reset, and firing that removes or clears what is firing.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "../EngineProbes.h"
#include "../TestValues.h"
#include "EngineFixture.h"
#include "rulecraft/core/IEException.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TCycleTest : public TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    Template("item", {"n"});
    Rule("each", Lhs(Pattern("item", {{"n", Var("n")}})), {Call("log", {Var("n")})});
    for (int I = 1; I <= 3; ++I) Assert("item", {{"n", Int(I)}});
  }
};

}  // namespace

TEST_F(TCycleTest, RunLimitsHaltAndAnEmptyAgenda) {
  std::vector<std::string> Events;
  Engine->OnStartInference = [&](TObject*) { Events.push_back("start"); };
  Engine->OnEndInference = [&](TObject*, int32_t Fired) { Events.push_back("end " + std::to_string(Fired)); };
  EXPECT_EQ(Engine->Run(0), 0);
  EXPECT_EQ(Engine->Run(1), 1);
  EXPECT_EQ(Log, (Lines{"3"}));  // depth first: the newest match
  EXPECT_EQ(Engine->Run(), 2);
  EXPECT_EQ(Engine->Run(), 0);
  EXPECT_EQ(Events, (Lines{"start", "end 0", "start", "end 1", "start", "end 2", "start", "end 0"}));
  // A rule that halts stops the run after its own actions.
  Rule("stop", Lhs(Pattern("item", {{"n", Int(9)}})), {Call("halt", {})}, 100);
  Assert("item", {{"n", Int(9)}});
  Assert("item", {{"n", Int(10)}});
  Log.clear();
  EXPECT_EQ(Engine->Run(), 1);  // stop comes first and halts
  EXPECT_EQ(Engine->GetAgendaCount(), 2);
  EXPECT_EQ(Engine->Run(), 2);
}

TEST_F(TCycleTest, WatchLinesAndStatisticsUseTheExactTexts) {
  Engine->SetWatch(TConstructWatches{cwActivation, cwFact, cwRule, cwStatistics});
  Engine->Run(1);
  const std::string Expected =
      "FIRE 0 each f-3\r\n"
      "<== Activation: each : f-3\r\n";
  ASSERT_EQ(Output.substr(0, Expected.size()), Expected);
  // Four statistics lines follow a run that fired.
  const std::string Rest = Output.substr(Expected.size());
  EXPECT_EQ(Rest.rfind("1 rules fired.     Run time is ", 0), 0u) << Rest;
  EXPECT_NE(Rest.find(" rules per second\r\n"), std::string::npos);
  EXPECT_NE(Rest.find("4.0000 mean number of facts (4 maximum)\r\n"), std::string::npos) << Rest;
  EXPECT_NE(Rest.find("2.0000 mean number of activations (3 maximum)\r\n"), std::string::npos) << Rest;
  Output.clear();
  Assert("item", {{"n", Int(4)}});
  EXPECT_EQ(Output, " ==> f-4 (item (n 4))\r\n==> Activation: each : f-4\r\n");
  Output.clear();
  EXPECT_EQ(Engine->Run(0), 0);
  EXPECT_TRUE(Output.empty());  // no statistics without a firing
}

TEST_F(TCycleTest, ChangingTheStrategyReordersTheSameActivations) {
  std::vector<TActivation*> Before;
  for (int32_t I = 0; I < Engine->GetAgendaCount(); ++I) Before.push_back(Engine->GetActivation(I));
  int Added = 0;
  Engine->OnAddActivation = [&](TObject*, int32_t, TActivation*) { ++Added; };
  Engine->SetStrategy(ssBreadthFirst);
  EXPECT_EQ(Added, 3);
  // Taken off in agenda order and appended one by one: breadth first keeps that order ...
  EXPECT_EQ(Agenda(), (Lines{"each: f-3", "each: f-2", "each: f-1"}));
  std::vector<TActivation*> After;
  for (int32_t I = 0; I < Engine->GetAgendaCount(); ++I) After.push_back(Engine->GetActivation(I));
  std::sort(Before.begin(), Before.end());
  std::sort(After.begin(), After.end());
  EXPECT_EQ(Before, After);  // not copies
  Engine->SetStrategy(ssBreadthFirst);
  EXPECT_EQ(Added, 3);  // unchanged: nothing happens
  // ... and depth first puts each newcomer in front of its equals.
  Engine->SetStrategy(ssDepthFirst);
  EXPECT_EQ(Agenda(), (Lines{"each: f-1", "each: f-2", "each: f-3"}));
}

TEST_F(TCycleTest, GlobalsAreResetBeforeTheInitialFactArrives) {
  Engine->GetGlobalVariables().Put("*limit*", Int(1));
  EXPECT_EQ(Engine->GetContext()->FindGlobalBinding("*limit*")->GetValue()->GetAsInteger(), 1);
  Define("limit", [this](const std::vector<IIEValue>&) {
    return Engine->GetContext()->FindGlobalBinding("*limit*")->GetValue();
  });
  auto Test = std::make_unique<TIEPattern>(Engine.get(), STestCE, Engine->FindFactTemplate(SNullFact), 0);
  Test->AddTest(SDefaultSlotName,
                MakeRef<TIEValue>(TRef<TFunCallBase>(
                    Call("log", {Atom("seen"), MakeRef<TIEValue>(TRef<TFunCallBase>(Call("limit", {})))}))),
                NoSubIndex, false, true);
  Rule("start", Lhs(Pattern("Initial-Fact", {}), std::move(Test)), {});
  Engine->ResetGlobalVariable("*limit*", Int(5));
  Log.clear();
  Engine->Reset();
  EXPECT_EQ(Log, (Lines{"seen 1"}));
}

TEST_F(TCycleTest, AFiringRuleMayRemoveItselfClearTheEngineOrCallRun) {
  int32_t Nested = -1;
  Define("nested-run", [&](const std::vector<IIEValue>&) {
    Nested = Engine->Run();
    return IIEValue();
  });
  Define("drop-self", [&](const std::vector<IIEValue>&) {
    Engine->GetRules().Remove("dropper");
    return IIEValue();
  });
  Define("clear-all", [&](const std::vector<IIEValue>&) {
    Engine->Clear();
    return IIEValue();
  });
  Rule("runner", Lhs(Pattern("item", {{"n", Int(1)}})),
       {Call("nested-run", {}), Call("log", {Atom("after")})}, 30);
  Rule("dropper", Lhs(Pattern("item", {{"n", Int(2)}})),
       {Call("drop-self", {}), Call("log", {Atom("dropped")})}, 20);
  Rule("clearer", Lhs(Pattern("item", {{"n", Int(3)}})),
       {Call("clear-all", {}), Call("log", {Atom("cleared")})}, 10);
  std::vector<std::string> Fired;
  Engine->OnRuleFired = [&](TObject*, TRule* Rule) { Fired.push_back(Rule->GetRuleName()); };
  EXPECT_EQ(Engine->Run(), 3);
  EXPECT_EQ(Nested, 0);
  EXPECT_EQ(Fired, (Lines{"runner", "dropper", "clearer"}));
  EXPECT_EQ(Log, (Lines{"after", "dropped", "cleared"}));
  EXPECT_EQ(Engine->GetAgendaCount(), 0);
  EXPECT_EQ(Engine->GetRules().Count(), 0);
  // The engine is usable afterwards.
  Engine->Reset();
  Template("item", {"n"});
  Rule("again", Lhs(Pattern("item", {})), {Call("log", {Atom("again")})});
  Assert("item", {{"n", Int(1)}});
  EXPECT_EQ(Engine->Run(), 1);
}

TEST_F(TCycleTest, ARaisingActionLeavesNoActivationBehindAndTheEngineRuns) {
  Define("fail",
         [](const std::vector<IIEValue>&) -> IIEValue { throw EIEException(std::string("action failed")); });
  Rule("failing", Lhs(Pattern("item", {{"n", Int(2)}})), {Call("fail", {})}, 50);
  ExpectError([&] { Engine->Run(); }, "action failed");
  EXPECT_EQ(Engine->GetCurrentActivation(), nullptr);
  EXPECT_EQ(Agenda(), (Lines{"each: f-3", "each: f-2", "each: f-1"}));
  EXPECT_EQ(Engine->Run(), 3);
}

TEST_F(TCycleTest, RulesDuplicatesFollowThePolicyAndSymbolsCount) {
  Engine->SetDuplicateConstructs(dcError);
  auto* Twin = new TRule(Engine.get());
  Twin->SetRuleName("each");
  ExpectError([&] { Engine->GetRules().Put(Twin); }, "Duplicate Rules defined with same name: \"each\"");
  Engine->SetDuplicateConstructs(dcIgnore);
  Engine->GetRules().Put(Twin);
  EXPECT_NE(Engine->GetRules().Get("each"), Twin);
  Engine->SetDuplicateConstructs(dcOverwrite);
  Engine->GetRules().Put(Twin);
  EXPECT_EQ(Engine->GetRules().Get("each"), Twin);
  // The old rule's activations went with it; the new one, without patterns, starts from the initial fact.
  EXPECT_EQ(Agenda(), (Lines{"each: f-0"}));
  Engine->SetWatch(TConstructWatches{cwCompilation});
  Rule("traced", Lhs(Pattern("item", {{"n", Int(1)}})), {});
  EXPECT_EQ(Output, "traced: +1+1+t\r\n");
  EXPECT_EQ(Engine->GenerateSymbol("gen"), "gen0");
  EXPECT_EQ(Engine->GenerateSymbol("gen"), "gen1");
  Engine->SetSymbolIndex(1);  // not larger: advances by one
  EXPECT_EQ(Engine->GetSymbolIndex(), 3);
  Engine->SetSymbolIndex(10);
  EXPECT_EQ(Engine->GenerateSymbol("g"), "g10");
}

TEST_F(TCycleTest, AnEngineWithFactsRulesAndActivationsGoesCleanly) {
  // Run under the leak checker: everything the engine made is freed with it, mid-run too.
  Template("a", {"x"});
  Template("b", {"x"});
  Rule("ab", Lhs(Pattern("a", {{"x", Var("x")}}), Pattern("b", {{"x", Var("x")}})),
       {Call("log", {Var("x")})});
  Rule("not-b", Lhs(Pattern("a", {{"x", Var("x")}}), Pattern("b", {{"x", Var("x")}}, 1)), {});
  for (int I = 0; I < 50; ++I) {
    Assert("a", {{"x", Int(I)}});
    if (I % 2) Assert("b", {{"x", Int(I)}});
  }
  EXPECT_EQ(Engine->Run(10), 10);
  EXPECT_GT(Engine->GetAgendaCount(), 0);
  Engine.reset();
}

TEST(TEnginePackagesTest, TheSelectedPackagesAreInstalledInTheFixedOrderAndRebuiltOnChange) {
  TInferenceEngine Engine;
  EXPECT_TRUE(Engine.ContainsUserFunction("+"));
  EXPECT_TRUE(Engine.ContainsUserFunction("str-cat"));
  EXPECT_TRUE(Engine.ContainsUserFunction("evenp"));
  EXPECT_TRUE(Engine.ContainsUserFunction("sin"));
  int Installs = 0;
  Engine.OnAddDefaultPackages = [&](TObject*) { ++Installs; };
  Engine.SetPackages(Engine.GetPackages());  // the same set: nothing happens
  EXPECT_EQ(Installs, 0);
  Engine.SetPackages(TFunctionPackages{pMath});
  EXPECT_EQ(Installs, 1);
  EXPECT_TRUE(Engine.ContainsUserFunction("+"));
  EXPECT_FALSE(Engine.ContainsUserFunction("str-cat"));
  EXPECT_FALSE(Engine.ContainsUserFunction("sin"));
  // A function of an installed package runs through the engine.
  IFunCall Sum = MakeRef<TFunctionCall>(&Engine, "+");
  Sum->AddArgument(Int(2));
  Sum->AddArgument(Flt(0.5));
  IIEValue Result;
  Sum->Execute(Engine.GetContext(), Result);
  EXPECT_EQ(Result->GetToString(), "2.5000");
}

// A test of a pattern runs while a fact goes through the network, and a fact set's values are evaluated while
// the engine resets: a function called there may do anything but clear or reset the engine or remove a rule
// or template, which would pull the network or the fact sets from under the walk. The change is refused with
// an error, nothing is half done, and the engine goes on working. From a rule's actions the same calls work.
TEST(InferenceCycle, ClearResetAndRemovalsAreRefusedWhileMatchingOrResetting) {
  const std::string Busy = " while the engine matches facts or resets";
  const std::vector<std::pair<std::string, std::string>> Cases = {
      {"(deffacts a (x (clear)) (y 1))", "Cannot clear" + Busy},
      {"(deffacts a (x (reset)) (y 1))", "Cannot reset" + Busy},
      {"(deffacts a (x (undefrule keep)) (y 1))", "Cannot remove a rule" + Busy},
      {"(deffacts a (x (undeftemplate t)) (y 1))", "Cannot remove a template" + Busy},
      {"(defrule odd (x ?a&:(clear)) =>)", "Cannot clear" + Busy},
      {"(defrule odd (x ?a&:(reset)) =>)", "Cannot reset" + Busy},
      {"(defrule odd (x ?a&:(undefrule odd)) =>)", "Cannot remove a rule" + Busy},
      {"(defrule odd (x ?a) (test (undeftemplate t)) =>)", "Cannot remove a template" + Busy},
  };
  for (const auto& [Construct, Message] : Cases) {
    SCOPED_TRACE(Construct);
    TQuietEngine Quiet;
    TInferenceEngine& Engine = Quiet.Engine;
    Engine.SetEchoResults(false);
    Engine.Parse("(deftemplate t (slot s)) (defrule keep (t (s ?s)) => (printout t \"kept \" ?s crlf))",
                 true);
    Engine.Parse(Construct, true);
    ExpectError<EIEException>(
        [&] {
          Engine.Reset();
          Engine.Parse("(assert (x 1))", true);
        },
        Message);
    // Everything is still there and works.
    EXPECT_TRUE(Engine.FindFactTemplate("t"));
    ASSERT_NE(Engine.GetRules().Get("keep"), nullptr);
    Engine.Parse("(undeffacts a) (undefrule odd)", true);
    Engine.Reset();
    Engine.Parse("(assert (t (s 7)))", true);
    EXPECT_EQ(Engine.Run(), 1);
    EXPECT_EQ(Quiet.Output, "kept 7\r\n");
  }
  // From a rule's actions the engine may be reset, cleared and its rules removed.
  TQuietEngine Quiet;
  Quiet.Engine.SetEchoResults(false);
  Quiet.Engine.Parse("(defrule r (go) => (undefrule r) (reset) (clear) (printout t \"done\" crlf))", true);
  Quiet.Engine.Reset();
  Quiet.Engine.Parse("(assert (go))", true);
  EXPECT_EQ(Quiet.Engine.Run(), 1);
  EXPECT_EQ(Quiet.Output, "done\r\n");
  EXPECT_EQ(Quiet.Engine.GetRules().Count(), 0);
}
