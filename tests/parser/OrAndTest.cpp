// Left-hand sides with or and and elements: one activation per alternative that matches, under the rule's
// name and salience; not and exists over several elements; variables bound in every alternative; the rule
// printed, saved and removed as the one rule it was written as.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "../engine/EngineFixture.h"
#include "rulecraft/rete/Activation.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TOrAndTest : public TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    Engine->Parse(
        "(deftemplate a (slot x)) (deftemplate b (slot x)) (deftemplate c (slot x))"
        "(deftemplate d (slot x))",
        true);
  }
  Lines SortedAgenda() const {
    Lines Out = Agenda();
    std::sort(Out.begin(), Out.end());
    return Out;
  }
  Lines RunLog() {
    Log.clear();
    Engine->Run();
    std::sort(Log.begin(), Log.end());
    return Log;
  }
};

}  // namespace

TEST_F(TOrAndTest, AnOrFiresOncePerMatchingAlternativeUnderTheRulesNameAndSalience) {
  Engine->Parse(
      "(defrule r (declare (salience 7)) (or (and (a (x ?x)) (b (x ?x))) (c (x ?x))) => (log r ?x))"
      "(defrule low (c (x ?x)) => (log low ?x))",
      true);
  EXPECT_EQ(Engine->GetRules().Count(), 2);
  ASSERT_EQ(RuleNamed("r")->GetAlternativeCount(), 1);
  EXPECT_EQ(RuleNamed("r")->GetAlternative(0)->GetPrimary(), RuleNamed("r"));
  Engine->Assert("(a (x 1))");
  const int32_t B1 = Engine->Assert("(b (x 1))");
  Engine->Assert("(c (x 1))");
  Engine->Assert("(c (x 2))");
  // Both alternatives match for 1, the second alone for 2: three activations, all above low.
  EXPECT_EQ(Agenda(), (Lines{"r: f-4", "r: f-3", "r: f-1, f-2", "low: f-4", "low: f-3"}));
  for (int32_t I = 0; I < 3; ++I) EXPECT_EQ(Engine->GetActivation(I)->GetSalience(), 7);
  // Retracting b withdraws the first alternative's match only.
  Engine->Retract(B1);
  EXPECT_EQ(SortedAgenda(), (Lines{"low: f-3", "low: f-4", "r: f-3", "r: f-4"}));
  EXPECT_EQ(RunLog(), (Lines{"low 1", "low 2", "r 1", "r 2"}));
  // A changed salience reaches every alternative; the changed rule is compiled anew, so its matches are
  // on the agenda again.
  RuleNamed("r")->SetSalienceInteger(-3);
  Engine->Assert("(b (x 1))");
  EXPECT_EQ(SortedAgenda(), (Lines{"r: f-1, f-5", "r: f-3", "r: f-4"}));
  for (int32_t I = 0; I < Engine->GetAgendaCount(); ++I)
    EXPECT_EQ(Engine->GetActivation(I)->GetSalience(), -3);
  EXPECT_EQ(RunLog(), (Lines{"r 1", "r 1", "r 2"}));
  // Once a one-shot rule has fired, no alternative makes new activations until a reset.
  Engine->Reset();
  Engine->Parse("(defrule once (declare (oneshot TRUE)) (or (a (x ?x)) (c (x ?x))) => (log once ?x))", true);
  Engine->Assert("(a (x 7))");
  EXPECT_EQ(RunLog(), (Lines{"once 7"}));
  Engine->Assert("(c (x 8))");
  EXPECT_EQ(Agenda(), (Lines{"low: f-2", "r: f-2"}));
  Engine->Reset();
  Engine->Assert("(c (x 9))");
  EXPECT_EQ(Agenda(), (Lines{"once: f-1", "low: f-1", "r: f-1"}));
}

TEST_F(TOrAndTest, NotAndExistsOverSeveralElements) {
  Engine->Assert("(a (x 1))");
  Engine->Assert("(a (x 2))");
  Engine->Assert("(b (x 1))");
  // Defined after some facts, so the new nodes are primed too.
  Engine->Parse(
      "(defrule n (a (x ?x)) (not (and (b (x ?x)) (c (x ?x)))) => (log n ?x))"
      "(defrule e (a (x ?x)) (exists (and (b (x ?x)) (c (x ?y&:(> ?y ?x))))) => (log e ?x))"
      "(defrule eo (a (x ?x)) (exists (or (b (x ?x)) (c (x ?x)))) => (log eo ?x))"
      "(defrule no (a (x ?x)) (not (or (b (x ?x)) (c (x ?x)))) => (log no ?x))"
      "(defrule nested (a (x ?x)) (not (and (b (x ?x)) (or (c (x ?x)) (d (x ?x))))) => (log nested ?x))"
      "(defrule first (not (and (b (x 9)) (c (x 9)))) (a (x ?x)) => (log first ?x))"
      "(defrule inner (a (x ?x)) (not (and (b (x ?x)) (not (c (x ?x))))) => (log inner ?x))",
      true);
  EXPECT_EQ(RuleNamed("nested")->GetAlternativeCount(), 0);  // one alternative: two negated conjunctions
  EXPECT_EQ(SortedAgenda(), (Lines{"eo: f-1", "first: f-0, f-1", "first: f-0, f-2", "inner: f-2", "n: f-1",
                                   "n: f-2", "nested: f-1", "nested: f-2", "no: f-2"}));
  // c 1 completes the conjunction for 1 and satisfies the inner not's opposite; c 5 is above both.
  const int32_t C1 = Engine->Assert("(c (x 1))");
  EXPECT_EQ(SortedAgenda(), (Lines{"eo: f-1", "first: f-0, f-1", "first: f-0, f-2", "inner: f-1",
                                   "inner: f-2", "n: f-2", "nested: f-2", "no: f-2"}));
  const int32_t C5 = Engine->Assert("(c (x 5))");
  EXPECT_EQ(SortedAgenda(), (Lines{"e: f-1", "eo: f-1", "first: f-0, f-1", "first: f-0, f-2", "inner: f-1",
                                   "inner: f-2", "n: f-2", "nested: f-2", "no: f-2"}));
  // A second way to satisfy exists adds nothing; the only way going takes it back.
  Engine->Assert("(b (x 2))");
  Engine->Assert("(d (x 2))");
  EXPECT_EQ(SortedAgenda(), (Lines{"e: f-1", "e: f-2", "eo: f-1", "eo: f-2", "first: f-0, f-1",
                                   "first: f-0, f-2", "inner: f-1", "n: f-2"}));
  Engine->Retract(C5);
  Engine->Retract(C1);
  EXPECT_EQ(SortedAgenda(), (Lines{"eo: f-1", "eo: f-2", "first: f-0, f-1", "first: f-0, f-2", "n: f-1",
                                   "n: f-2", "nested: f-1"}));
  // The conjunction at the start blocks every match of the rule.
  Engine->Assert("(b (x 9))");
  const int32_t C9 = Engine->Assert("(c (x 9))");
  const Lines Blocked = Agenda();
  EXPECT_TRUE(std::none_of(Blocked.begin(), Blocked.end(),
                           [](const std::string& Line) { return Line.rfind("first", 0) == 0; }));
  Engine->Retract(C9);
  EXPECT_EQ(RunLog(), (Lines{"eo 1", "eo 2", "first 1", "first 2", "n 1", "n 2", "nested 1"}));
}

TEST_F(TOrAndTest, VariablesAndErrors) {
  // Bound in every alternative, by different patterns: fine; the or's own variables join what follows.
  Engine->Parse("(defrule ok (or (a (x ?x)) (and (b (x ?y)) (c (x ?x)))) (d (x ?x)) => (log ok ?x))", true);
  Engine->Assert("(b (x 0))");
  Engine->Assert("(c (x 4))");
  Engine->Assert("(d (x 4))");
  Engine->Assert("(a (x 3))");
  EXPECT_EQ(RunLog(), (Lines{"ok 4"}));

  const std::string Missing = "Variable ?x is not bound in every alternative of rule bad";
  EXPECT_EQ(ErrorOf("(defrule bad (or (a (x ?x)) (b (x ?y))) => (log ?x))"), Missing);
  // Bound only inside a negated element of an alternative is not bound there.
  EXPECT_EQ(ErrorOf("(defrule bad (or (a (x ?x)) (and (b (x 1)) (not (c (x ?x))))) => (log ?x))"), Missing);
  EXPECT_FALSE(RuleNamed("bad"));
  // A variable first bound in a negated conjunction is local to it.
  EXPECT_EQ(ErrorOf("(defrule loc (a (x ?v)) (not (and (b (x ?y)) (c (x ?y)))) => (log ?y))"),
            "Variable ?y is bound only inside a negated pattern and cannot be used outside it");
  EXPECT_EQ(ErrorOf("(defrule loc (a (x ?v)) (not (and (b (x ?y&:(> ?y ?w))) (c (x ?y)))) (d (x ?w)) =>)"),
            "Variable ?w is used in a negated pattern before the pattern that binds it");
  // Two conjunctions each have their own ?y.
  EXPECT_EQ(
      ErrorOf("(defrule two (a (x ?v)) (not (and (b (x ?y)) (c (x ?y)))) (not (and (c (x ?y)) (d (x ?y))))"
              " => (log two ?v))"),
      "no error");
  EXPECT_EQ(ErrorOf("(defrule nest (a (x ?x)) (not (and (b (x ?x)) (not (and (c (x ?x)) (d (x ?x)))))) =>)"),
            "A negated and element cannot hold another negated and element");
  EXPECT_EQ(ErrorOf("(defrule goal (a (x ?x)) (not (and (need-b ?x) (c (x ?x)))) =>)"),
            "Unsupported construct: goal pattern in a negated and element");
  std::string Big = "(defrule big";
  for (int I = 0; I < 10; ++I) Big += " (or (a (x " + std::to_string(I) + ")) (b (x 1)))";
  EXPECT_EQ(ErrorOf(Big + " =>)"), "Rule big has more than 1000 alternatives");
  // Nine of them are 512 alternatives: allowed.
  EXPECT_EQ(ErrorOf("(defrule big" + Big.substr(Big.find(" (or (a (x 1))")) + " =>)"), "no error");
  EXPECT_EQ(RuleNamed("big")->GetAlternativeCount(), 511);
  EXPECT_NE(ErrorOf("(defrule empty (or) =>)").find("Empty or conditional element"), std::string::npos);
  EXPECT_NE(ErrorOf("(defrule bound ?f <- (or (a) (b)) =>)").find("cannot be bound"), std::string::npos);
  EXPECT_NE(ErrorOf("(defrule bound (or ?f <- (not (a)) (b)) =>)").find("cannot be bound"),
            std::string::npos);
  // Fact variables bound inside an alternative work in the actions.
  Engine->Parse("(defrule take (or ?f <- (c (x 4)) ?f <- (d (x 4))) => (retract ?f))", true);
  Engine->Run();
  EXPECT_EQ(Engine->GetFacts().Count(), 3);
}

TEST_F(TOrAndTest, PrintedSavedAndReadBackAsWritten) {
  const std::string Text =
      "(defrule r\r\n"
      "    (declare (salience 4))\r\n"
      "    (a (x ?x))\r\n"
      "    (or\r\n"
      "        (and\r\n"
      "            (b (x ?x))\r\n"
      "            (not (c (x ?x))))\r\n"
      "        (exists\r\n"
      "            (and\r\n"
      "                (c (x ?x))\r\n"
      "                (test (> ?x 1)))))\r\n"
      "    =>\r\n"
      "    (log r ?x))";
  Engine->Parse(Text, true);
  EXPECT_EQ(RuleNamed("r")->GetToString(), Text);
  // Read back in another engine, it prints the same and matches the same.
  TInferenceEngine Copy;
  Copy.OnPrintOut = [](TObject*, const std::string&, const std::string&) {};
  Copy.Parse(Engine->GetExpertSystem(), true);
  ASSERT_TRUE(Copy.GetRules().Get("r"));
  EXPECT_EQ(Copy.GetRules().Get("r")->GetToString(), Text);
  EXPECT_EQ(Copy.GetRules().Get("r")->GetAlternativeCount(), 1);
  // A copy within the engine keeps the elements and the alternatives.
  auto* Twin = new TRule(Engine.get());
  Twin->Assign(RuleNamed("r"));
  Twin->SetRuleName("twin");
  Engine->GetRules().Put(Twin);
  EXPECT_EQ(Twin->GetAlternativeCount(), 1);
  Engine->Assert("(a (x 2))");
  Engine->Assert("(c (x 2))");
  EXPECT_EQ(SortedAgenda(), (Lines{"r: f-1", "twin: f-1"}));
}

TEST_F(TOrAndTest, RemovingTheRuleRemovesEveryAlternative) {
  const int32_t Nodes = Engine->GetNetwork().GetNodeCount();
  Engine->Parse(
      "(defrule r (or (a (x ?x)) (b (x ?x)) (and (c (x ?x)) (not (and (d (x ?x)) (a (x ?x))))))"
      " => (log r ?x))",
      true);
  EXPECT_EQ(RuleNamed("r")->GetAlternativeCount(), 2);
  Engine->Assert("(a (x 1))");
  Engine->Assert("(b (x 1))");
  Engine->Assert("(c (x 1))");
  EXPECT_EQ(Engine->GetAgendaCount(), 3);  // d 1 is missing, so the third alternative matches too
  Engine->Parse("(undefrule r)", true);
  EXPECT_EQ(Engine->GetAgendaCount(), 0);
  EXPECT_EQ(Engine->GetNetwork().GetNodeCount(), Nodes);
  // Redefined without an or, the rule is its own patterns again.
  Engine->Parse("(defrule r (or (b (x ?x)) (c (x ?x))) => (log r ?x))", true);
  EXPECT_EQ(Engine->GetAgendaCount(), 2);
  Engine->Parse("(defrule r (b (x ?x)) => (log r ?x))", true);
  EXPECT_EQ(RuleNamed("r")->GetAlternativeCount(), 0);
  EXPECT_EQ(Agenda(), (Lines{"r: f-2"}));
  // Removing a template used by a later alternative only removes the rule.
  Engine->Parse("(defrule s (or (a (x ?x)) (d (x ?x))) => (log s ?x))", true);
  Engine->Parse("(undeftemplate d)", true);
  EXPECT_FALSE(RuleNamed("s"));
  EXPECT_TRUE(RuleNamed("r"));
}
