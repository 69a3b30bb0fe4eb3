// Explaining matches and facts through the engine's C++ interface: where a rule's matching stops (a join on
// a variable, a negated pattern, a test element, a predicate on a field), the counts agreeing with the
// network's own memories, explaining changing nothing, and the firing each fact records (on and off,
// modify, reset, a removed rule, retracted sources).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "rulecraft/framework/TreeNodes.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TExplanationTest : public TEngineTest {
 protected:
  void Load(const std::string& Text) { ASSERT_TRUE(Engine->Parse(Text, true)); }

  /// The report of the rule's only alternative.
  TAlternativeMatches Explain(const std::string& Rule) {
    const TRuleMatchReport Report = Engine->ExplainMatches(Rule);
    EXPECT_EQ(Report.Alternatives.size(), 1u);
    return Report.Alternatives.empty() ? TAlternativeMatches() : Report.Alternatives.front();
  }

  std::vector<std::vector<int32_t>> PatternFacts(const TAlternativeMatches& Matches) {
    std::vector<std::vector<int32_t>> Facts;
    for (const TPatternMatches& Pattern : Matches.Patterns) Facts.push_back(Pattern.FactIds);
    return Facts;
  }

  std::vector<int32_t> JoinCounts(const TAlternativeMatches& Matches) {
    std::vector<int32_t> Counts;
    for (const TJoinMatches& Join : Matches.Joins) Counts.push_back(Join.PartialMatches);
    return Counts;
  }

  /// Everything the network holds, memories included, and the agenda.
  std::string State() {
    TTreeNodes Tree;
    Engine->GetNetwork().AssignTo(&Tree);
    std::string Text;
    std::function<void(const TTreeNode*, int)> Walk = [&](const TTreeNode* Node, int Depth) {
      Text += std::string(static_cast<size_t>(Depth), ' ') + Node->GetText() + "\n";
      for (int32_t I = 0; I < Node->Count(); ++I) Walk(Node->Item(I), Depth + 1);
    };
    for (int32_t I = 0; I < Tree.Count(); ++I) Walk(Tree.Item(I), 0);
    for (const std::string& Line : Agenda()) Text += Line + "\n";
    for (const std::string& Line : Facts()) Text += Line + "\n";
    return Text;
  }

  static constexpr const char* Orders =
      "(deftemplate order (slot id) (slot status) (slot qty))"
      "(deftemplate stock (slot item) (slot qty))";
};

TEST_F(TExplanationTest, ARuleThatFiresAndTheFactItAsserts) {
  Load(std::string(Orders) +
       "(defrule ship (order (id ?o) (status ready)) (stock (item ?o) (qty ?q&:(> ?q 0)))"
       "  => (assert (shipment ?o)))"
       "(deffacts start (order (id 17) (status ready)) (order (id 18) (status new))"
       "  (stock (item 17) (qty 4)) (stock (item 18) (qty 0)))"
       "(reset)");
  // f-1 order 17 ready, f-2 order 18 new, f-3 stock 17 (4), f-4 stock 18 (0).
  const TRuleMatchReport Report = Engine->ExplainMatches("ship");
  EXPECT_EQ(Report.RuleName, "ship");
  EXPECT_EQ(Report.Activations, 1);
  ASSERT_EQ(Report.Alternatives.size(), 1u);
  const TAlternativeMatches& Matches = Report.Alternatives.front();
  ASSERT_EQ(Matches.Patterns.size(), 2u);
  EXPECT_EQ(Matches.Patterns[0].Text, "(order (id ?o) (status ready))");
  EXPECT_EQ(Matches.Patterns[1].Text, "(stock (item ?o) (qty ?q&:(> ?q 0)))");
  EXPECT_EQ(PatternFacts(Matches), (std::vector<std::vector<int32_t>>{{1}, {3}}));
  EXPECT_EQ(JoinCounts(Matches), (std::vector<int32_t>{1}));
  EXPECT_EQ(Matches.Matches, 1);
  EXPECT_EQ(Matches.Stop.Pattern, -1);
  EXPECT_EQ(Matches.Stop.Reason, "");
  EXPECT_EQ(Engine->MatchReportText(Report),
            "Rule ship: 1 activation\r\n"
            "  pattern 1 (order (id ?o) (status ready)): f-1\r\n"
            "  pattern 2 (stock (item ?o) (qty ?q&:(> ?q 0))): f-3\r\n"
            "  join 1-2: 1 partial match\r\n");

  EXPECT_EQ(Engine->Run(), 1);
  const IFactOrigin Origin = Engine->GetFactOrigin(5);
  ASSERT_TRUE(Origin);
  EXPECT_EQ(Origin->GetRuleName(), "ship");
  EXPECT_EQ(Origin->GetFactIds(), (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(Engine->FactOriginText(Engine->GetFacts().GetFactByID(5)),
            "f-5 was asserted by rule ship with\r\n"
            "  f-1 (order (id 17) (qty) (status ready))\r\n"
            "  f-3 (stock (item 17) (qty 4))\r\n");
  // Fired, the match stays and leaves no activation.
  const TAlternativeMatches After = Explain("ship");
  EXPECT_EQ(After.Matches, 1);
  EXPECT_EQ(After.Activations, 0);
  EXPECT_EQ(After.Stop.Pattern, -1);
  EXPECT_EQ(After.Stop.Reason, "its one complete match has fired");
  // The facts of the reset and of the host were asserted by no rule.
  EXPECT_FALSE(Engine->GetFactOrigin(1));
  EXPECT_FALSE(Engine->GetFactOrigin(0));
  EXPECT_FALSE(Engine->GetFactOrigin(99));
  EXPECT_EQ(Engine->FactOriginText(Engine->GetFacts().GetFactByID(2)), "f-2 was not asserted by a rule\r\n");
}

TEST_F(TExplanationTest, WhereMatchingStops) {
  Load(std::string(Orders) +
       "(defrule ship (order (id ?o) (status ready)) (stock (item ?o) (qty ?q)) => )"
       "(defrule exact (order (id ?o) (qty ?n)) (stock (item ?o) (qty ?n)) => )"
       "(defrule enough (order (id ?o) (qty ?n)) (stock (item ?o) (qty ?q&:(>= ?q ?n))) => )"
       "(defrule unpaid (order (id ?o)) (not (paid ?o)) => )"
       "(defrule big (order (id ?o) (qty ?x)) (test (> ?x 10)) => )"
       "(defrule stocked (stock (item ?i) (qty ?q&:(> ?q 5))) => )"
       "(defrule fresh (order (status new)) => )"
       "(deffacts start (order (id 17) (status ready) (qty 3)) (order (id 18) (status shipped) (qty 4))"
       "  (stock (item 5) (qty 2)) (stock (item 18) (qty 3)) (paid 17) (paid 18))"
       "(reset)");
  // f-1 order 17 ready 3, f-2 order 18 shipped 4, f-3 stock 5 (2), f-4 stock 18 (3), f-5 paid 17, f-6
  // paid 18.
  struct TCase {
    const char* Rule;
    int32_t Pattern;
    std::vector<int32_t> Closest;
    const char* Reason;
  };
  const TCase Cases[] = {
      // A join on a variable bound before: the value it wants.
      {"ship", 1, {1}, "none of its facts has item = 17"},
      // Two comparisons: the closest partial match passes the first for one fact (f-2 and f-4 share 18).
      {"exact", 1, {2}, "none of its facts has item = 18 and qty = 4"},
      // A predicate reading an earlier pattern's variable is the join's call.
      {"enough", 1, {2}, "none of its facts with item = 18 passes (>= ?q ?n) with ?n = 4"},
      {"unpaid", 1, {1}, "blocked by f-5"},
      {"big", 1, {1}, "(> ?x 10) failed with ?x = 3"},
      // A predicate on a field of the pattern's own fact: the first fact it refused.
      {"stocked", 0, {3}, "(> ?q 5) failed with ?q = 2"},
      {"fresh", 0, {1}, "status is ready, not new"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Rule);
    const TAlternativeMatches Matches = Explain(Case.Rule);
    EXPECT_EQ(Matches.Activations, 0);
    EXPECT_EQ(Matches.Stop.Pattern, Case.Pattern);
    EXPECT_EQ(Matches.Stop.ClosestMatch, Case.Closest);
    EXPECT_EQ(Matches.Stop.Reason, Case.Reason);
  }
  const TAlternativeMatches Unpaid = Explain("unpaid");
  EXPECT_EQ(Unpaid.Patterns[1].NegatedCount, 1);
  EXPECT_EQ(PatternFacts(Unpaid), (std::vector<std::vector<int32_t>>{{1, 2}, {5, 6}}));
  const TAlternativeMatches Big = Explain("big");
  EXPECT_TRUE(Big.Patterns[1].Test);
  EXPECT_TRUE(Big.Patterns[1].FactIds.empty());
  EXPECT_EQ(Engine->MatchReportText(Engine->ExplainMatches("big")),
            "Rule big: 0 activations\r\n"
            "  pattern 1 (order (id ?o) (qty ?x)): f-1 f-2\r\n"
            "  pattern 2 (test (> ?x 10))\r\n"
            "  join 1-2: 0 partial matches\r\n"
            "  stops at pattern 2 (test (> ?x 10)) for f-1: (> ?x 10) failed with ?x = 3\r\n");
  EXPECT_EQ(
      Engine->MatchReportText(Engine->ExplainMatches("stocked")),
      "Rule stocked: 0 activations\r\n"
      "  pattern 1 (stock (item ?i) (qty ?q&:(> ?q 5))): none\r\n"
      "  stops at pattern 1 (stock (item ?i) (qty ?q&:(> ?q 5))) for f-3: (> ?q 5) failed with ?q = 2\r\n");

  // The fact the user may have expected: it has the value wanted, but the pattern's own test refused it.
  Load(
      "(defrule ready (order (id ?o) (status ready)) (stock (item ?o) (qty ?q&:(> ?q 0))) => )"
      "(assert (stock (item 17) (qty 0)))");
  EXPECT_EQ(Explain("ready").Stop.Reason,
            "none of its facts has item = 17 (f-7 would, but fails the pattern's own tests)");

  // A pattern whose template has no fact, a rule without facts at all, and one that is switched off.
  Load("(defrule lonely (order (id ?o)) (refund ?o) => )");
  const TAlternativeMatches Lonely = Explain("lonely");
  EXPECT_EQ(Lonely.Stop.Pattern, 1);
  EXPECT_TRUE(Lonely.Stop.ClosestMatch.empty());
  EXPECT_EQ(Lonely.Stop.Reason, "no refund fact");
  Engine->Clear();
  Load("(defrule idle => )");
  const TAlternativeMatches Idle = Explain("idle");
  ASSERT_EQ(Idle.Patterns.size(), 1u);
  EXPECT_EQ(Idle.Patterns[0].Text, "(Initial-Fact)");
  EXPECT_EQ(Idle.Stop.Reason, "no Initial-Fact fact");
  Load("(defrule off (declare (enabled FALSE)) => ) (reset)");
  EXPECT_EQ(Explain("off").Stop.Reason, "the rule is disabled");
}

TEST_F(TExplanationTest, UnknownRulesAndExplainingWhileFactsFlow) {
  ExpectError<EIEException>([&] { Engine->ExplainMatches("nosuch"); }, "Unknown rule: nosuch");
  ExpectError<EIEException>([&] { Engine->ExplainMatches(""); }, "Unknown rule: ");
  // A pattern's predicate asking for an explanation while the fact it tests travels the network.
  Load("(defrule other (b) => ) (defrule spy (a ?x&:(> (matches other) -1)) => )");
  ExpectError<EIEException>([&] { Engine->Assert("(a 1)"); },
                            "Cannot explain matches while the engine matches facts or resets");
  Load("(reset) (assert (b))");
  EXPECT_EQ(Engine->ExplainMatches("other").Activations, 1);  // the network is whole
  // A rule changed inside an update bracket is compiled again only when the bracket closes.
  TRule* Other = RuleNamed("other");
  Other->BeginUpdate();
  Other->AppendPattern(Pattern("b", {}));
  const TRuleMatchReport Changing = Engine->ExplainMatches("other");
  EXPECT_EQ(Changing.Alternatives[0].Patterns.size(), 2u);
  EXPECT_EQ(Changing.Alternatives[0].Stop.Reason, "the rule is not compiled");
  Other->EndUpdate();
  EXPECT_EQ(Engine->ExplainMatches("other").Alternatives[0].Joins.size(), 1u);

  // Tests whose calls change the rules once armed, in a pattern's own chain and in a join: removing a rule is
  // refused as while facts are matched; a rule compiled on the way stops the explanation, which reads no node
  // the change may have moved.
  int32_t Made = 0;
  Define("define", [&](const std::vector<IIEValue>&) {
    Engine->Parse("(defrule made" + std::to_string(++Made) + " (c) => )", true);
    return IIEValue();
  });
  Load(
      "(defglobal ?*armed* = FALSE) (defrule spare (c) => )"
      "(defrule alone (e ?x&:(or (eq ?*armed* FALSE) (undefrule spare))) => )"
      "(defrule joined (e ?x) (d ?y&:(or (eq ?*armed* FALSE) (eq ?x 0) (undefrule spare))&:(> ?y ?x)) => )"
      "(defrule grows (e ?x) (d ?y&:(or (eq ?*armed* FALSE) (eq ?x 0) (define))) => )"
      "(assert (e 1) (d 0)) (bind ?*armed* TRUE)");
  for (const char* Rule : {"alone", "joined"})
    ExpectError<EIEException>([&] { Engine->ExplainMatches(Rule); },
                              "Cannot remove a rule while the engine matches facts or resets");
  EXPECT_TRUE(RuleNamed("spare"));
  ExpectError<EIEException>([&] { Engine->ExplainMatches("grows"); },
                            "A pattern test changed the rules while its matches were explained");
  EXPECT_TRUE(RuleNamed("made1"));
  EXPECT_FALSE(Engine->GetNetwork().IsMatching());
  Load("(bind ?*armed* FALSE)");
  EXPECT_EQ(Engine->ExplainMatches("joined").Alternatives[0].Stop.Reason,
            "none of its facts passes (> ?y ?x) with ?x = 1");
}

// The partial matches the explanation counts are those the network holds: each join's count is the left
// memory of the next join, and explaining leaves every memory, the agenda and the output as they were.
TEST_F(TExplanationTest, CountsAgreeWithTheNetworkAndNothingChanges) {
  Load(
      "(deftemplate a (slot x)) (deftemplate b (slot x) (slot y)) (deftemplate c (slot y))"
      "(defrule chain (a (x ?x)) (b (x ?x) (y ?y)) (c (y ?y)) (d ?y) => )"
      "(reset)"
      "(assert (a (x 1)) (a (x 2)) (a (x 3)))"
      "(assert (b (x 1) (y 10)) (b (x 1) (y 11)) (b (x 2) (y 10)) (b (x 9) (y 10)))"
      "(assert (c (y 10)) (c (y 11)) (c (y 12)))");
  Engine->SetWatch(TConstructWatches{cwFact, cwActivation, cwRule, cwCompilation});
  const std::string Before = State();
  Output.clear();
  const TAlternativeMatches Matches = Explain("chain");
  EXPECT_EQ(State(), Before);
  EXPECT_EQ(Output, "");
  EXPECT_EQ(JoinCounts(Matches), (std::vector<int32_t>{3, 3, 0}));
  const std::vector<TReteNode*>& Nodes = *Engine->GetNetwork().GetRuleNodesList(RuleNamed("chain"));
  std::vector<int32_t> Held;
  for (TReteNode* Node : Nodes)
    if (auto* Join = dynamic_cast<TJoinNode*>(Node); Join && Join->GetLeftMemory())
      Held.push_back(Join->GetLeftMemory()->Count());
  EXPECT_EQ(Held, (std::vector<int32_t>{3, 3, 3}));  // pattern 1's facts, then the joins' partial matches
  EXPECT_EQ(Matches.Stop.Pattern, 3);
  EXPECT_EQ(Matches.Stop.Reason, "no d fact");
  // The next fact makes exactly the matches the report counted at the last join.
  Load("(assert (d 10))");
  EXPECT_EQ(Engine->GetAgendaCount(), 2);
  EXPECT_EQ(JoinCounts(Explain("chain")), (std::vector<int32_t>{3, 3, 2}));
}

TEST_F(TExplanationTest, ExistsNegatedConjunctionsAndAlternatives) {
  Load(
      "(deftemplate order (slot id))"
      "(defrule known (order (id ?o)) (exists (paid ?o)) => )"
      "(defrule open (order (id ?o)) (not (and (paid ?o) (late ?o))) => )"
      "(defrule either (or (order (id 5)) (color red)) => )"
      "(reset) (assert (order (id 17)) (paid 17) (late 17) (color blue))");
  const TAlternativeMatches Known = Explain("known");
  EXPECT_EQ(Known.Patterns[1].NegatedCount, 2);
  EXPECT_EQ(Known.Activations, 1);
  const TAlternativeMatches Open = Explain("open");
  ASSERT_EQ(Open.Patterns.size(), 3u);
  EXPECT_EQ(Open.Patterns[1].GroupFirst, 1);
  EXPECT_EQ(Open.Patterns[2].GroupSize, 2);
  EXPECT_EQ(Open.Patterns[2].GroupNegation, 1);
  EXPECT_EQ(JoinCounts(Open), (std::vector<int32_t>{0}));  // counted at the conjunction's end only
  EXPECT_EQ(Open.Stop.Pattern, 1);
  EXPECT_EQ(Open.Stop.ClosestMatch, (std::vector<int32_t>{1}));
  EXPECT_EQ(Open.Stop.Reason, "blocked by f-2, f-3");
  EXPECT_EQ(Engine->MatchReportText(Engine->ExplainMatches("open")),
            "Rule open: 0 activations\r\n"
            "  pattern 1 (order (id ?o)): f-1\r\n"
            "  pattern 2 (paid ?o): f-2\r\n"
            "  pattern 3 (late ?o): f-3\r\n"
            "  join 1-3: 0 partial matches\r\n"
            "  stops at patterns 2-3 (not (and (paid ?o) (late ?o))) for f-1: blocked by f-2, f-3\r\n");
  Load("(retract 2)");  // no longer paid: the conjunction cannot match, the order is open
  EXPECT_EQ(Explain("open").Activations, 1);
  const TAlternativeMatches Gone = Explain("known");
  EXPECT_EQ(Gone.Stop.Pattern, 1);
  EXPECT_EQ(Gone.Stop.Reason, "no paid fact");

  const TRuleMatchReport Either = Engine->ExplainMatches("either");
  ASSERT_EQ(Either.Alternatives.size(), 2u);
  EXPECT_EQ(Either.Alternatives[0].Stop.Reason, "id is 17, not 5");
  EXPECT_EQ(Either.Alternatives[1].Stop.Reason, "field 1 is blue, not red");
  EXPECT_EQ(Engine->MatchReportText(Either),
            "Rule either: 0 activations\r\n"
            "  alternative 1:\r\n"
            "    pattern 1 (order (id 5)): none\r\n"
            "    stops at pattern 1 (order (id 5)) for f-1: id is 17, not 5\r\n"
            "  alternative 2:\r\n"
            "    pattern 1 (color red): none\r\n"
            "    stops at pattern 1 (color red) for f-4: field 1 is blue, not red\r\n");

  // Wildcards read as ? and $? are named inside the engine; the report writes them as written.
  Load("(defrule wild (color ? $?) (order (id ?)) => )");
  EXPECT_EQ(Explain("wild").Patterns[0].Text, "(color ? $?)");
  EXPECT_EQ(Explain("wild").Patterns[1].Text, "(order (id ?))");
}

TEST_F(TExplanationTest, FiringsRecordedOnModifyAndAfterTheirSourcesGo) {
  Load(
      "(deftemplate order (slot id) (slot status))"
      "(defrule ship ?f <- (order (id ?o) (status ready)) (stock ?o)"
      "  => (modify ?f (status shipped)) (assert (shipment ?o)))"
      "(defrule wipe (wipe) => (reset))"
      "(reset) (assert (order (id 1) (status ready)) (stock 1))");
  EXPECT_EQ(Engine->Run(), 1);
  // The modified order took f-3 (from f-1, which the firing matched) and the shipment f-4.
  const IFactOrigin Modified = Engine->GetFactOrigin(3);
  ASSERT_TRUE(Modified);
  EXPECT_EQ(Modified->GetFactIds(), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(Engine->GetFactOrigin(4).get(), Modified.get());  // one record per firing
  EXPECT_EQ(Engine->FactOriginText(Engine->GetFacts().GetFactByID(3)),
            "f-3 was asserted by rule ship with\r\n"
            "  f-1 (since retracted)\r\n"
            "  f-2 (stock 1)\r\n");
  // A duplicate assert keeps the first fact and its record; a fact asserted by the host records nothing.
  Load("(assert (shipment 1))");
  EXPECT_EQ(Engine->GetFactOrigin(4).get(), Modified.get());
  // The rule removed, its source retracted: the record names them and holds neither.
  Load("(undefrule ship) (retract 2)");
  EXPECT_EQ(Engine->FactOriginText(Engine->GetFacts().GetFactByID(4)),
            "f-4 was asserted by rule ship (since removed) with\r\n"
            "  f-1 (since retracted)\r\n"
            "  f-2 (since retracted)\r\n");
  // A reset inside a firing asserts the initial fact and the fact sets' facts, not the firing's.
  Load("(deffacts again (stock 7)) (assert (wipe))");
  EXPECT_EQ(Engine->Run(), 1);
  ASSERT_EQ(Facts(), (Lines{"f-0 (Initial-Fact)", "f-1 (stock 7)"}));
  EXPECT_FALSE(Engine->GetFactOrigin(0));
  EXPECT_FALSE(Engine->GetFactOrigin(1));
}

TEST_F(TExplanationTest, ARecordKeepsEveryFactOfALongMatch) {
  // More facts than a record keeps inside, and a placeholder left out.
  Load(
      "(defrule wide (a 1) (a 2) (a 3) (not (z)) (a 4) (a 5) (a 6) (a 7) => (assert (w)))"
      "(reset) (assert (a 7) (a 6) (a 5) (a 4) (a 3) (a 2) (a 1))");
  EXPECT_EQ(Engine->Run(), 1);
  const IFactOrigin Origin = Engine->GetFactOrigin(8);
  ASSERT_TRUE(Origin);
  EXPECT_EQ(Origin->GetFactCount(), 7u);
  EXPECT_EQ(Origin->GetFactIds(), (std::vector<int32_t>{7, 6, 5, 4, 3, 2, 1}));
  Load("(defrule two (a 1) => (assert (v)))");
  EXPECT_EQ(Engine->Run(), 1);
  EXPECT_EQ(Engine->GetFactOrigin(9)->GetFactIds(), (std::vector<int32_t>{7}));
}

TEST_F(TExplanationTest, RecordingSwitchedOff) {
  Load("(defrule copy (a ?x) => (assert (b ?x)))");
  EXPECT_TRUE(Engine->GetRecordFirings());
  Engine->SetRecordFirings(false);
  Load("(reset) (assert (a 1))");
  EXPECT_EQ(Engine->Run(), 1);
  EXPECT_FALSE(Engine->GetFactOrigin(2));
  EXPECT_EQ(Engine->FactOriginText(Engine->GetFacts().GetFactByID(2)), "f-2 was not asserted by a rule\r\n");
  Engine->SetRecordFirings(true);
  Load("(assert (a 2))");
  EXPECT_EQ(Engine->Run(), 1);
  ASSERT_TRUE(Engine->GetFactOrigin(4));
  EXPECT_EQ(Engine->GetFactOrigin(4)->GetFactIds(), (std::vector<int32_t>{3}));
  EXPECT_FALSE(Engine->GetFactOrigin(2));  // switching on records nothing for facts asserted before

  // An engine copied takes the setting (streaming is tested with the other published properties).
  Engine->SetRecordFirings(false);
  TInferenceEngine Copy;
  Copy.Assign(Engine.get());
  EXPECT_FALSE(Copy.GetRecordFirings());
}

}  // namespace
