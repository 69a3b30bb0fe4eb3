// A call tree of integer arithmetic and numeric comparisons evaluated in one pass: it answers what the
// functions answer, one by one, and gives way to them whenever it cannot (wrap-around, overflow beyond 64
// bits, floats, values that are not numbers, errors, calls changed after the tree was planned).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StdPkgTest.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class NumberPlan : public TStdPkgTest {
 protected:
  TIEContext& Root() { return *Engine->GetContext(); }
  /// What running Call once gives: the result's text and kind, or the error's message.
  std::string Outcome(const IFunCall& Call) {
    try {
      IIEValue Result;
      Call->Execute(&Root(), Result);
      if (!Result) return "<none>";
      return Result->GetToString() + (Result->GetDType() == dtFloat ? " (float)" : "");
    } catch (const Exception& E) {
      return "error: " + E.Message();
    }
  }
  /// Runs Text as one call three times: the first run binds its functions and goes the general way, the
  /// later ones take the plan when there is one. Expects the three outcomes equal and returns the first.
  std::string Same(const std::string& Text) {
    const IFunCall Call = Action(Text);
    const std::string First = Outcome(Call);
    EXPECT_EQ(Outcome(Call), First) << Text;
    EXPECT_EQ(Outcome(Call), First) << Text;
    return First;
  }
  bool Planned(const std::string& Text) {
    const IFunCall Call = Action(Text);
    Outcome(Call);
    Outcome(Call);
    return Call->HasPlan();
  }
};

// Integer results wrap to 32 bits exactly where the functions wrap them; a total beyond 64 bits, a float or a
// fraction leaves the plan to the functions, which carry on in extended precision.
TEST_F(NumberPlan, WrapsAndOverflowsAsTheFunctions) {
  Eval("(bind ?max 2147483647)");
  Eval("(bind ?min -2147483648)");
  Eval("(bind ?half 1.5)");
  Eval("(bind ?two 2)");
  EXPECT_EQ(Same("(+ ?max 1)"), "-2147483648");
  EXPECT_EQ(Same("(- ?min 1)"), "2147483647");
  EXPECT_EQ(Same("(- ?min)"), "-2147483648");
  EXPECT_EQ(Same("(* ?max ?max)"), "1");
  EXPECT_EQ(Same("(* (+ ?max 1) -1)"), "-2147483648");
  // 2147483647^3 does not fit in 64 bits: the extended total, wrapped.
  EXPECT_EQ(Same("(* ?max ?max ?max)"), "-2147483648");
  EXPECT_EQ(Same("(* ?min ?min ?min ?two)"), "0");
  EXPECT_EQ(Same("(- (* ?max ?max ?max) (* ?max ?max ?max))"), "0");
  EXPECT_EQ(Same("(+ (* ?max ?max) ?max)"), "-2147483648");
  EXPECT_EQ(Same("(+ ?half ?two)"), "3.5000 (float)");
  EXPECT_EQ(Same("(* ?two (+ ?half 1))"), "5.0000 (float)");
  EXPECT_EQ(Same("(+ ?max ?half)"), "2147483648.5000 (float)");
  EXPECT_EQ(Same("(max ?two -7 ?max)"), "2147483647");
  EXPECT_EQ(Same("(min ?two -7 ?half)"), "-7");
  EXPECT_EQ(Same("(max ?two 2.0)"), "2");
  EXPECT_EQ(Same("(+)"), "0");
  EXPECT_EQ(Same("(*)"), "1");
  EXPECT_EQ(Same("(- 5)"), "5");
  EXPECT_TRUE(Planned("(+ (* 1000 ?two) (- ?max ?min) (max ?two 3))"));
  EXPECT_FALSE(Planned("(+ ?two 1.5)"));
  EXPECT_FALSE(Planned("(+ ?two (abs ?two))"));
}

// Comparisons compare the numbers' values, and stop at the first pair that fails, before reading what
// follows it: a value that is not a number after that point raises nothing.
TEST_F(NumberPlan, ComparisonsAsTheFunctions) {
  Eval("(bind ?a 3)");
  Eval("(bind ?b 7)");
  Eval("(bind ?f 3.0)");
  Eval("(bind ?s abc)");
  const std::vector<std::pair<std::string, std::string>> Cases = {
      {"(= (+ ?a 4) ?b)", "TRUE"},      {"(= ?a ?f)", "TRUE"},
      {"(= 3 ?a (- ?b 4) 2)", "FALSE"}, {"(= ?a)", "TRUE"},
      {"(<> ?a ?b 3)", "FALSE"},        {"(<> ?a ?b 4)", "TRUE"},
      {"(< ?a ?b 10)", "TRUE"},         {"(< ?a ?b 7)", "FALSE"},
      {"(<= ?a 3 ?b 7)", "TRUE"},       {"(> ?b ?a -2147483648)", "TRUE"},
      {"(>= ?b ?b ?a 4)", "FALSE"},     {"(< ?b ?a ?s)", "FALSE"},
      {"(= 2 ?a ?s)", "FALSE"},         {"(> (+ 2147483647 1) 0)", "FALSE"},
      {"(< 1 ?f 4)", "TRUE"},           {"(= (* 4294967296 1) 0)", "FALSE"},
  };
  for (const auto& [Text, Expected] : Cases) EXPECT_EQ(Same(Text), Expected) << Text;
  // A call of leaves alone is left to the general way.
  EXPECT_FALSE(Planned("(< ?a ?b 10)"));
  EXPECT_TRUE(Planned("(= (+ ?a 4) ?b)"));
  EXPECT_FALSE(Planned("(+ 1 (< ?a ?b))"));
}

// Where the functions raise, the plan steps aside and the same message comes out.
TEST_F(NumberPlan, ErrorsAsTheFunctions) {
  Eval("(bind ?s abc)");
  Eval("(bind ?zero 0)");
  Eval("(bind ?n 5)");
  const std::string NotNumeric = Same("(+ 1 ?s)");
  EXPECT_EQ(NotNumeric.rfind("error: ", 0), 0U) << NotNumeric;
  EXPECT_EQ(Same("(* (+ 1 ?s) 2)"), NotNumeric);
  EXPECT_EQ(Same("(< 1 ?s)"), Same("(< 1 (+ 0 ?s))"));
  EXPECT_EQ(Same("(+ 1 (div ?n ?zero))"), "error: Division by zero");
  EXPECT_EQ(Same("(+ 1 (/ ?n ?zero))"), "error: Floating point division by zero");
  EXPECT_EQ(Same("(+ 1 ?unbound)"), Outcome(Action("(+ 1 ?unbound)")));
  EXPECT_EQ(Same("(-)"), "error: Too few arguments for -");
  EXPECT_EQ(Same("(< 1)"), "error: Too few arguments for <");
  // A variable that held a number and now holds a text: the planned call raises as the function does.
  const IFunCall Call = Action("(+ ?n (* 2 ?n))");
  EXPECT_EQ(Outcome(Call), "15");
  EXPECT_EQ(Outcome(Call), "15");
  ASSERT_TRUE(Call->HasPlan());
  Eval("(bind ?n abc)");
  EXPECT_EQ(Outcome(Call), Outcome(Action("(+ ?n (* 2 ?n))")));
  Eval("(bind ?n 2.5)");
  EXPECT_EQ(Outcome(Call), "7.5000 (float)");
  // A plan that keeps giving way is let go of; the call answers all the same.
  for (int I = 0; I < 40; ++I) EXPECT_EQ(Outcome(Call), "7.5000 (float)");
  EXPECT_FALSE(Call->HasPlan());
  Eval("(bind ?n 5)");
  EXPECT_EQ(Outcome(Call), "15");
}

// A call changed after its tree was planned (an argument replaced, a function unbound) is evaluated as it is
// now.
TEST_F(NumberPlan, FollowsChangedCalls) {
  Eval("(bind ?n 5)");
  const IFunCall Call = Action("(+ ?n (* 2 ?n))");
  Outcome(Call);
  EXPECT_EQ(Outcome(Call), "15");
  ASSERT_TRUE(Call->HasPlan());
  const IFunCall Inner = Call->GetArgument(1)->GetAsFunCall();
  Inner->SetArgument(0, MakeRef<TIEValue>(10, dtInteger));
  EXPECT_EQ(Outcome(Call), "55");
  Inner->SetArgument(0, MakeRef<TIEValue>(0.5));
  EXPECT_EQ(Outcome(Call), "7.5000 (float)");
  Inner->SetArgument(0, MakeRef<TIEValue>(3, dtInteger));
  Call->SetArgument(0, MakeRef<TIEValue>(TRef<TFunCallBase>(Action("(- 100)"))));
  Outcome(Call);
  EXPECT_EQ(Outcome(Call), "115");
  EXPECT_TRUE(Call->HasPlan());
  Call->AddArgument(MakeRef<TIEValue>(1, dtInteger));
  EXPECT_EQ(Outcome(Call), "116");
  // The value holding a call, changed in place to hold a number.
  Call->GetArgument(1)->SetAsInteger(4);
  EXPECT_EQ(Outcome(Call), "105");
  Inner->Unbind();
  EXPECT_EQ(Outcome(Call), "105");
}

// Rule tests and pattern predicates evaluated by plans fire the rules the functions would fire.
TEST_F(NumberPlan, RuleTestsAndPredicates) {
  Engine->Parse(
      "(deftemplate n (slot v)) "
      "(defrule sum (n (v ?a)) (n (v ?b&:(> ?b ?a))) (test (= (+ ?a ?b) 2147483647)) => "
      "  (printout t ?a \" \" ?b crlf)) "
      "(defrule wrap (n (v ?a&:(< (+ ?a 1) 0))) => (printout t wrap \" \" ?a crlf)) "
      "(defrule scaled (n (v ?a)) (test (= (* ?a 3) (* 3 ?a) 2147483645)) => (printout t scaled crlf)) "
      "(defrule negated (n (v ?a)) (test (= (* -1 ?a) ?a)) => (printout t negated \" \" ?a crlf))",
      true);
  Engine->Parse(
      "(assert (n (v 2147483646)) (n (v 1)) (n (v 2147483647)) (n (v 0)) (n (v 1.5)) (n (v -2147483648)))",
      true);
  EXPECT_EQ(Engine->Run(), 7);
  EXPECT_NE(Output.find("0 2147483647\r\n"), std::string::npos) << Output;
  EXPECT_NE(Output.find("1 2147483646\r\n"), std::string::npos) << Output;
  EXPECT_NE(Output.find("wrap 2147483647\r\n"), std::string::npos) << Output;
  EXPECT_NE(Output.find("wrap -2147483648\r\n"), std::string::npos) << Output;
  EXPECT_NE(Output.find("scaled\r\n"), std::string::npos) << Output;
  EXPECT_NE(Output.find("negated 0\r\n"), std::string::npos) << Output;
  EXPECT_NE(Output.find("negated -2147483648\r\n"), std::string::npos) << Output;
}

}  // namespace
