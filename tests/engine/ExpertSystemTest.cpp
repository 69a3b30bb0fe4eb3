// A small expert system built through the C++ interface: templates, a fact set, rules with joins, a negated
// pattern and salience, reset and run; then the inference cycle's controls (limits, halt, strategy, watch
// output and statistics) on it.
#include <gtest/gtest.h>

#include "EngineFixture.h"
#include "rulecraft/rete/Pattern.h"
#include "rulecraft/rete/Rule.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TExpertSystemTest : public TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    Template("order", {"id", "customer"});
    Template("customer", {"id", "status"});
    Template("flagged", {"order"});
    Template("discount", {"order"});
    auto* Orders = new TFactSet(Engine.get());
    Orders->SetFactSetName("orders");
    Orders->AddFact(Fact("customer", {{"id", Atom("bob")}, {"status", Atom("gold")}}));
    Orders->AddFact(Fact("customer", {{"id", Atom("ann")}, {"status", Atom("plain")}}));
    Orders->AddFact(Fact("order", {{"id", Int(1)}, {"customer", Atom("bob")}}));
    Orders->AddFact(Fact("order", {{"id", Int(2)}, {"customer", Atom("ann")}}));
    Orders->AddFact(Fact("order", {{"id", Int(3)}, {"customer", Atom("cy")}}));

    Rule("unknown-customer",
         Lhs(Pattern("order", {{"id", Var("o")}, {"customer", Var("c")}}),
             Pattern("customer", {{"id", Var("c")}}, 1)),
         {Call("log", {Atom("unknown"), Var("o")}), Call("add", {Atom("flagged"), Atom("order"), Var("o")})},
         10);
    Rule("gold-discount",
         Lhs(Pattern("order", {{"id", Var("o")}, {"customer", Var("c")}}),
             Pattern("customer", {{"id", Var("c")}, {"status", Atom("gold")}})),
         {Call("log", {Atom("discount"), Var("o")}),
          Call("add", {Atom("discount"), Atom("order"), Var("o")})});
    Rule("ship",
         Lhs(Pattern("order", {{"id", Var("o")}}, 0, "f"), Pattern("flagged", {{"order", Var("o")}}, 1)),
         {Call("log", {Atom("ship"), Var("o")}), Call("remove", {Var("f")})}, -10);
  }
};

}  // namespace

TEST_F(TExpertSystemTest, ResetAndRunFireTheRulesBySalienceAndLeaveTheExpectedFacts) {
  Engine->Reset();
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)", "f-1 (customer (id bob) (status gold))",
                            "f-2 (customer (id ann) (status plain))", "f-3 (order (customer bob) (id 1))",
                            "f-4 (order (customer ann) (id 2))", "f-5 (order (customer cy) (id 3))"}));
  EXPECT_EQ(Agenda(), (Lines{"unknown-customer: f-5", "gold-discount: f-3, f-1", "ship: f-5", "ship: f-4",
                             "ship: f-3"}));
  // Flagging order 3 withdraws its shipping: four firings.
  EXPECT_EQ(Engine->Run(), 4);
  EXPECT_EQ(Log, (Lines{"unknown 3", "discount 1", "ship 2", "ship 1"}));
  EXPECT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)", "f-1 (customer (id bob) (status gold))",
                            "f-2 (customer (id ann) (status plain))", "f-5 (order (customer cy) (id 3))",
                            "f-6 (flagged (order 3))", "f-7 (discount (order 1))"}));
  EXPECT_TRUE(Agenda().empty());

  // A second reset starts over: the same facts with the same identifiers, the rules ready to fire again.
  Log.clear();
  Engine->Reset();
  EXPECT_EQ(Engine->GetFacts().Count(), 6);
  EXPECT_EQ(Engine->Run(), 4);
  EXPECT_EQ(Log.size(), 4u);
}

// A comment kept with a pattern or a call is the text the lexer skipped before it, without the blanks around
// it: every byte up to the blank counts as blank there, as it does between tokens.
TEST_F(TEngineTest, CommentsOfPatternsAndCallsLoseTheBlanksAroundThem) {
  Engine->Parse(
      "(defrule noted \x01\t; the trigger\r\n\x02 (go) =>\x03 ; say it\n\x1f(log done))"
      "(defrule plain (go) => (log again))",
      true);
  TRule* Noted = Engine->GetRules().Get("noted");
  ASSERT_NE(Noted, nullptr);
  EXPECT_EQ(Noted->GetPattern(0)->GetComment(), "; the trigger");
  EXPECT_EQ(Noted->GetAction(0)->GetComment(), "; say it");
  EXPECT_EQ(Engine->GetRules().Get("plain")->GetPattern(0)->GetComment(), "");
  Engine->Reset();
  Engine->Parse("(assert (go))", true);
  EXPECT_EQ(Engine->Run(), 2);
}
