// matches and why: what they print to t and answer, the forms of fact reference why takes, and the exact
// errors for bad arguments.
#include <gtest/gtest.h>

#include <string>

#include "StdPkgTest.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TExplainFunctionsTest : public TStdPkgTest {
 protected:
  void SetUp() override {
    TStdPkgTest::SetUp();
    ASSERT_TRUE(Engine->Parse(
        "(deftemplate order (slot id)) (defrule ship (order (id ?o)) (stock ?o) => (assert (shipment ?o)))"
        "(reset) (assert (order (id 3)) (stock 3) (stock 4))",
        true));
    Output.clear();
  }
};

TEST_F(TExplainFunctionsTest, MatchesPrintsTheReportAndAnswersTheActivations) {
  EXPECT_EQ(Show("(matches ship)"), "1");
  EXPECT_EQ(Output,
            "Rule ship: 1 activation\r\n"
            "  pattern 1 (order (id ?o)): f-1\r\n"
            "  pattern 2 (stock ?o): f-2 f-3\r\n"
            "  join 1-2: 1 partial match\r\n");
  EXPECT_EQ(Engine->GetAgendaCount(), 1);  // nothing fired, nothing taken off
  Output.clear();
  EXPECT_EQ(Show("(matches (sym-cat sh ip))"), "1");  // the argument is evaluated
  EXPECT_EQ(Show("(run)"), "1");
  Output.clear();
  EXPECT_EQ(Show("(matches \"ship\")"), "0");
  EXPECT_EQ(Output.substr(Output.rfind("  join")),
            "  join 1-2: 1 partial match\r\n  its one complete match has fired\r\n");

  ExpectError<EIEException>([&] { Eval("(matches shop)"); }, "Unknown rule: shop");
  ExpectError<EIEException>([&] { Eval("(matches 3)"); }, "Unknown rule: 3");
  ExpectError([&] { Eval("(matches)"); }, "Too few arguments for matches");
  ExpectError([&] { Eval("(matches ship ship)"); }, "Too many arguments for matches");
}

TEST_F(TExplainFunctionsTest, WhyNamesTheRuleAndTheFactsOfItsFiring) {
  EXPECT_EQ(Show("(run)"), "1");  // asserts f-4 (shipment 3)
  Output.clear();
  EXPECT_EQ(Eval("(why 4)")->GetDType(), dtAtom);
  EXPECT_EQ(Output,
            "f-4 was asserted by rule ship with\r\n"
            "  f-1 (order (id 3))\r\n"
            "  f-2 (stock 3)\r\n");
  // The same fact by every reference why takes: an identifier as assert answers it, the printed form, and
  // the fact itself as a host hands it over.
  EXPECT_EQ(Show("(why (+ 2 2))"), "ship");
  EXPECT_EQ(Show("(why f-4)"), "ship");
  const IFunCall Why = Call("why", {MakeRef<TIEValue>(TRef<TFactBase>(Engine->GetFacts().GetFactByID(4)))});
  IIEValue Result;
  Why->Execute(Engine->GetContext(), Result);
  ASSERT_TRUE(Result);
  EXPECT_EQ(Result->GetToString(), "ship");
  Output.clear();
  EXPECT_EQ(Show("(why (assert (note)))"), "FALSE");
  EXPECT_EQ(Output, "f-5 was not asserted by a rule\r\n");

  ExpectError<EIEException>([&] { Eval("(why 42)"); }, "No Such Fact with ID=42 exists");
  ExpectError<EIEException>([&] { Eval("(why f-42)"); }, "No Such Fact with ID=f-42 exists");
  ExpectError<EIEException>([&] { Eval("(why fact-4)"); },
                            "Invalid argument type for deffunction: \"dtAtom\".  Expected FactId, Fact");
  ExpectError<EIEException>([&] { Eval("(why \"f-4\")"); },
                            "Invalid argument type for deffunction: \"dtString\".  Expected FactId, Fact");
  ExpectError<EIEException>([&] { Eval("(why 4.0)"); },
                            "Invalid argument type for deffunction: \"dtFloat\".  Expected FactId, Fact");
  ExpectError([&] { Eval("(why)"); }, "Too few arguments for why");
  ExpectError([&] { Eval("(why 4 4)"); }, "Too many arguments for why");
}

}  // namespace
