// get-strategy and set-strategy: results, errors, the agenda re-sorted on a change, every strategy's firing
// order on one rule base, the test count simplicity and complexity weigh, and the package installed
// whatever the engine's Packages select.
#include <gtest/gtest.h>

#include <string>

#include "StdPkgTest.h"
#include "rulecraft/rete/Agenda.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TStrategyFunctionsTest : public TStdPkgTest {
 protected:
  /// The names of the agenda's rules and facts in order, "rule:f-1,f-2" separated by blanks.
  std::string Agenda() {
    std::string Text;
    for (const TActivation* Activation : Engine->GetAgenda().Items())
      Text += (Text.empty() ? "" : " ") + Activation->GetRule()->GetRuleName() + ":" +
              Activation->GetToken()->GetToFactsString();
    return Text;
  }
};

TEST_F(TStrategyFunctionsTest, SetAnswersThePreviousNameAndGetTheCurrent) {
  EXPECT_EQ(Show("(get-strategy)"), "depth");
  const char* Names[] = {"breadth",    "newest",     "oldest", "lex",  "mea",
                         "simplicity", "complexity", "random", "depth"};
  std::string Previous = "depth";
  for (const char* Name : Names) {
    EXPECT_EQ(Show(std::string("(set-strategy ") + Name + ")"), Previous);
    EXPECT_EQ(Show("(get-strategy)"), Name);
    Previous = Name;
  }
  EXPECT_EQ(Show("(set-strategy (sym-cat ne west))"), "depth");  // the argument is evaluated
  EXPECT_EQ(Engine->GetStrategy(), ssNewestFirst);
  const std::string Expected =
      "Unknown strategy: %s (expected depth, breadth, newest, oldest, lex, mea, simplicity, complexity or "
      "random)";
  for (const char* Bad : {"Newest", "fifo", "\"\"", "3"}) {
    std::string Text = Bad;
    if (Text == "\"\"") Text.clear();
    ExpectError<EIEException>([&] { Eval(std::string("(set-strategy ") + Bad + ")"); },
                              Format(Expected.c_str(), {Text}));
  }
  EXPECT_EQ(Engine->GetStrategy(), ssNewestFirst);  // unchanged by the errors
}

TEST_F(TStrategyFunctionsTest, EachStrategyOrdersOneRuleBase) {
  ASSERT_TRUE(
      Engine->Parse("(deftemplate p (slot v)) (deftemplate q (slot v))"
                    "(defrule one (p (v ?x)) => )"
                    "(defrule two (p (v ?x)) (q (v ?x)) => )"
                    "(defrule loud (declare (salience 5)) (q (v 2)) => )"
                    "(reset) (assert (p (v 1)) (q (v 1)) (p (v 2)) (q (v 2)))"));
  // f-1 p1, f-2 q1, f-3 p2, f-4 q2: one:f-1 (1), one:f-3 (3), two:f-1,f-2 (4), two:f-3,f-4 (6), loud:f-4 (7)
  // in that order of creation.
  const struct {
    const char* Name;
    const char* Order;
  } Cases[] = {
      {"newest", "loud:f-4 two:f-3, f-4 one:f-3 two:f-1, f-2 one:f-1"},
      {"oldest", "loud:f-4 one:f-1 two:f-1, f-2 one:f-3 two:f-3, f-4"},
      {"lex", "loud:f-4 two:f-3, f-4 one:f-3 two:f-1, f-2 one:f-1"},
      // mea: the first pattern's fact first: f-3 before f-1; then lex.
      {"mea", "loud:f-4 two:f-3, f-4 one:f-3 two:f-1, f-2 one:f-1"},
      // one has 1 test, two 2 (both ?x), loud 1: fewer first, ties newest first.
      {"simplicity", "loud:f-4 one:f-3 one:f-1 two:f-3, f-4 two:f-1, f-2"},
      {"complexity", "loud:f-4 two:f-3, f-4 two:f-1, f-2 one:f-3 one:f-1"},
      {"oldest", "loud:f-4 one:f-1 two:f-1, f-2 one:f-3 two:f-3, f-4"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Eval(std::string("(set-strategy ") + Case.Name + ")");
    EXPECT_EQ(Agenda(), Case.Order);
  }
  // A new activation under lex: the identifiers decide, not recency.
  ASSERT_TRUE(Engine->Parse("(set-strategy lex) (assert (p (v 0)))"));  // f-5
  EXPECT_EQ(Agenda(), "loud:f-4 one:f-5 two:f-3, f-4 one:f-3 two:f-1, f-2 one:f-1");
  // Depth and breadth keep the bisection among equal saliences.
  Eval("(set-strategy depth)");
  EXPECT_EQ(Engine->GetAgendaCount(), 6);
  EXPECT_EQ(Engine->GetActivation(0)->GetRule()->GetRuleName(), "loud");
  Eval("(set-strategy random)");
  EXPECT_EQ(Engine->GetActivation(0)->GetRule()->GetRuleName(), "loud");
  EXPECT_EQ(Engine->GetAgendaCount(), 6);
}

TEST_F(TStrategyFunctionsTest, TestCountOfARule) {
  ASSERT_TRUE(
      Engine->Parse("(deftemplate p (slot a) (slot b) (multislot m))"
                    "(defrule none (p) => )"
                    "(defrule constants (p (a 1) (b ~2)) => )"
                    "(defrule connected (p (a ?x&~3|4) (m $? ?y)) (test (> ?x 0)) (not (p (a 9))) => )"));
  auto Count = [&](const char* Name) { return TIEAgenda::CountTests(Engine->GetRules().Get(Name)); };
  EXPECT_EQ(Count("none"), 0);
  EXPECT_EQ(Count("constants"), 2);
  EXPECT_EQ(Count("connected"), Engine->GetRules().Get("connected")->GetPattern(0)->GetTestCount() + 1 + 1);
  EXPECT_GE(Count("connected"), 6);
  EXPECT_EQ(TIEAgenda::CountTests(nullptr), 0);
}

TEST(StrategyPackage, InstalledWhateverThePackagesSelect) {
  TInferenceEngine Engine;
  EXPECT_TRUE(Engine.ContainsUserFunction("set-strategy"));
  Engine.SetPackages(TFunctionPackages{});
  EXPECT_FALSE(Engine.ContainsUserFunction("+"));
  EXPECT_TRUE(Engine.ContainsUserFunction("get-strategy"));
  EXPECT_TRUE(Engine.ContainsUserFunction("set-strategy"));
  Engine.SetPackages(TFunctionPackages{pMath});
  EXPECT_TRUE(Engine.ContainsUserFunction("set-strategy"));
}

TEST(MaxFiringsFunction, SetsTheLimitThatStopsAnEndlessRunAndAnswersThePreviousOne) {
  TInferenceEngine Engine;
  std::string Output;
  Engine.OnPrintOut = [&Output](TObject*, const std::string&, const std::string& Text) { Output += Text; };
  Engine.Parse("(defrule forever ?f <- (tick ?n) => (retract ?f) (assert (tick (+ ?n 1))))", true);
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(set-max-firings 100)")->GetAsInteger(), 0);
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(set-max-firings (+ 20 5))")->GetAsInteger(), 100);
  EXPECT_EQ(Engine.GetMaxFirings(), 25);
  Engine.Reset();
  Engine.Assert("(tick 0)");
  ExpectError<EIEException>([&] { Engine.Run(); },
                            "Run stopped after 25 rule firings, the most allowed per run");
  EXPECT_EQ(Engine.GetAgendaCount(), 1);  // the rest stays on the agenda
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(set-max-firings 0)")->GetAsInteger(), 25);  // no limit again
  ExpectError<EIEException>([&] { Engine.ParseNExecuteFunCall("(set-max-firings -1)"); },
                            "A firing limit cannot be negative: -1");
  EXPECT_EQ(Engine.GetMaxFirings(), 0);
}

}  // namespace
