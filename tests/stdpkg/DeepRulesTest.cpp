// Rules far longer than anyone writes: a token's trip through a chain of 100,000 nodes must neither overflow
// the stack nor take time quadratic in the chain, and passing it on beyond the depth where deliveries are
// queued must keep the order of activations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StdPkgTest.h"
#include "rulecraft/rete/ReteNetwork.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

constexpr int Huge = 100000;

std::string Repeat(const std::string& Text, int Count, const std::string& Separator = " ") {
  std::string Result;
  Result.reserve((Text.size() + Separator.size()) * static_cast<size_t>(Count));
  for (int I = 0; I < Count; ++I) Result += (I ? Separator : "") + Text;
  return Result;
}

using TDeepRulesTest = TStdPkgTest;

}  // namespace

TEST_F(TDeepRulesTest, ChainsOfAHundredThousandNodesRunToTheEnd) {
  // A pattern of 100,000 fields: one pattern-match node per field.
  const std::string Fields = Repeat("1", Huge);
  Engine->Parse("(defrule fields (a " + Fields + ") => (printout t \"fields\" crlf))");
  Eval("(assert (a " + Fields + "))");
  // 100,000 predicates on one field.
  Engine->Parse("(defrule predicates (b ?x&" + Repeat(":(> ?x 0)", Huge, "&") +
                ") => (printout t \"predicates\" crlf))");
  Eval("(assert (b 5))");
  // 100,000 test elements after one pattern.
  Engine->Parse("(defrule tests (c ?x) " + Repeat("(test (> ?x 0))", Huge) +
                " => (printout t \"tests\" crlf))");
  Eval("(assert (c 5))");
  // 100,000 negated elements: a chain of negated joins.
  Engine->Parse("(defrule nots (d ?x) " + Repeat("(not (e ?x))", Huge) + " => (printout t \"nots\" crlf))");
  Eval("(assert (d 5))");
  EXPECT_EQ(Engine->GetAgendaCount(), 4);
  // A fact blocking the last rule withdraws its activation through the whole chain, and a retraction
  // brings it back.
  const std::string Blocker = Show("(assert (e 5))");
  EXPECT_EQ(Engine->GetAgendaCount(), 3);
  Eval("(retract " + Blocker.substr(Blocker.find('-') + 1, Blocker.find('>') - Blocker.find('-') - 1) + ")");
  EXPECT_EQ(Engine->GetAgendaCount(), 4);
  EXPECT_EQ(Engine->Run(), 4);
  EXPECT_EQ(Output, "nots\r\ntests\r\npredicates\r\nfields\r\n");
  // A fact that fails the last field or the last predicate stops at the end of the chain.
  Eval("(assert (a " + Repeat("1", Huge - 1) + " 2))");
  EXPECT_EQ(Engine->GetAgendaCount(), 0);
  // A reset reaches each node of the chains once (not once per path into it), and they match again after.
  Engine->Reset();
  Eval("(assert (c 5))");
  Eval("(assert (d 5))");
  EXPECT_EQ(Engine->GetAgendaCount(), 2);
}

// Rules sharing a chain longer than the depth at which deliveries queue, then branching, reach the agenda in
// the same order as rules sharing a short chain.
TEST_F(TDeepRulesTest, QueuedDeliveriesKeepTheOrderOfActivations) {
  auto Program = [](int Tests) {
    std::string Text;
    for (int Rule = 1; Rule <= 4; ++Rule)
      Text += "(defrule r" + std::to_string(Rule) + " (item ?x) " + Repeat("(test (> ?x 0))", Tests) +
              " (other ?y&:(> ?y " + std::to_string(Rule) + ")) =>)\n";
    return Text + "(deffacts data (item 1) (item 2) (other 3) (other 5) (item 3))";
  };
  auto AgendaOf = [this](const std::string& Text) {
    Engine->Parse("(clear)");
    Engine->Parse(Text);
    Engine->Reset();
    return Agenda();
  };
  const std::vector<std::string> Short = AgendaOf(Program(1));
  ASSERT_EQ(Short.size(), 18u);
  EXPECT_EQ(AgendaOf(Program(3 * TReteNetwork::MaxCallDepth)), Short);
}
