// The ordering strategies of the agenda: recency, lex, mea, simplicity, complexity and random, each with
// equal and mixed saliences and their ties; a large agenda against the order they define; recency kept when
// the agenda is re-sorted.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "../FakeRuleEngine.h"
#include "../TestValues.h"
#include "rulecraft/core/Constants.h"
#include "rulecraft/rete/Activation.h"
#include "rulecraft/rete/Agenda.h"
#include "rulecraft/rete/Rule.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TStrategyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Item = Engine.CreateFactTemplate("item");
    Null = Engine.CreateFactTemplate(SNullFact);
  }

  IFact FactOf(int32_t Id) {
    IFact Fact = (Id < 0 ? Null : Item)->NewFact();
    Fact->SetID(Id);
    return Fact;
  }

  /// A token over facts with these identifiers, the first pattern's first; -1 is the placeholder of a not or
  /// test element.
  IReteToken TokenOf(const std::vector<int32_t>& Ids) {
    IReteToken Token;
    for (int32_t Id : Ids)
      Token = Token ? MakeRef<TIEToken>(Token, FactOf(Id)) : MakeRef<TIEToken>(taAdd, FactOf(Id));
    return Token;
  }

  TRule* RuleOf(int32_t Salience) {
    TRule*& Rule = Rules[Salience];
    if (!Rule) {
      Rule = new TRule(&Engine);
      Rule->SetSalienceInteger(Salience);
    }
    return Rule;
  }

  /// Adds an activation named Name (kept in Names) with a salience, matched facts and, when given, a count
  /// of pattern tests.
  void Add(TIEAgenda& Agenda, const std::string& Name, int32_t Salience,
           const std::vector<int32_t>& Ids = {1}, int32_t Tests = -1) {
    auto Activation = std::make_unique<TActivation>(RuleOf(Salience), TokenOf(Ids), nullptr, 1.0f);
    Activation->SetSalience(Salience);
    Activation->AgendaKeys.Tests = Tests;
    Names[Activation.get()] = Name;
    Agenda.Add(std::move(Activation));
  }

  std::string Order(const TIEAgenda& Agenda) {
    std::string Text;
    for (const TActivation* Activation : Agenda.Items())
      Text += (Text.empty() ? "" : " ") + Names[Activation];
    return Text;
  }

  TFakeRuleEngine Engine;
  IFactTemplate Item;
  IFactTemplate Null;
  std::map<int32_t, TRule*> Rules;
  std::map<const TActivation*, std::string> Names;
};

// The activations one change makes are equally recent: newest orders them by their facts, as lex does, and
// oldest exactly reverses newest. A later change still wins over any fact order.
TEST_F(TStrategyTest, NewestOrdersOneChangeByItsFacts) {
  TIEAgenda Newest;
  Newest.SetStrategy(ssNewestFirst);
  TIEAgenda Oldest;
  Oldest.SetStrategy(ssOldestFirst);
  for (TIEAgenda* Agenda : {&Newest, &Oldest}) {
    Add(*Agenda, "early", 0, {1, 90});
    {
      TIEAgenda::TChange Change(*Agenda);
      Add(*Agenda, "old-seating", 0, {9, 3, -1});
      Add(*Agenda, "new-seating", 0, {9, 7});
      Add(*Agenda, "salient", 4, {2});
      {
        TIEAgenda::TChange Nested(*Agenda);  // joins the outer change
        Add(*Agenda, "same-facts", 0, {9, 7});
      }
      Add(*Agenda, "mid-seating", 0, {9, 5});
    }
    Add(*Agenda, "late", 0, {1});
  }
  EXPECT_EQ(Order(Newest), "salient late same-facts new-seating mid-seating old-seating early");
  EXPECT_EQ(Order(Oldest), "salient early old-seating mid-seating new-seating same-facts late");
}

TEST_F(TStrategyTest, RecencyWithEqualAndMixedSaliences) {
  TIEAgenda Newest;
  Newest.SetStrategy(ssNewestFirst);
  TIEAgenda Oldest;
  Oldest.SetStrategy(ssOldestFirst);
  for (TIEAgenda* Agenda : {&Newest, &Oldest}) {
    Add(*Agenda, "a", 0);
    Add(*Agenda, "b", 5);
    Add(*Agenda, "c", 0);
    Add(*Agenda, "d", -3);
    Add(*Agenda, "e", 5);
    Add(*Agenda, "f", 0);
  }
  EXPECT_EQ(Order(Newest), "e b f c a d");
  EXPECT_EQ(Order(Oldest), "b e a c f d");
}

TEST_F(TStrategyTest, LexComparesSortedIdentifiersAndPrefersTheLongerList) {
  TIEAgenda Agenda;
  Agenda.SetStrategy(ssLex);
  Add(Agenda, "low", 0, {4, 3});        // 4 3
  Add(Agenda, "high", 0, {1, 5});       // 5 1: 5 beats 4
  Add(Agenda, "prefix", 0, {3, 4});     // 4 3 again: a tie with "low", newer first
  Add(Agenda, "longer", 0, {3, 4, 1});  // 4 3 1: "low" is its prefix
  Add(Agenda, "not", 0, {4, -1, 3});    // the placeholder counts nothing: 4 3
  Add(Agenda, "salient", 2, {1});       // salience first
  EXPECT_EQ(Order(Agenda), "salient high longer not prefix low");
}

TEST_F(TStrategyTest, MeaLooksAtTheFirstPatternThenAsLex) {
  TIEAgenda Agenda;
  Agenda.SetStrategy(ssMea);
  Add(Agenda, "a", 0, {1, 9});     // lex would put it first (9)
  Add(Agenda, "b", 0, {2, 3});     // first pattern 2 beats 1
  Add(Agenda, "c", 0, {2, 3, 1});  // first pattern 2, then lex: 3 2 1 beats 3 2
  Add(Agenda, "d", 0, {2, 3});     // a full tie with b: newer first
  Add(Agenda, "e", -1, {7});
  EXPECT_EQ(Order(Agenda), "c d b a e");
  // Under lex the same activations order by their largest identifiers (re-added as the engine re-sorts).
  std::vector<std::unique_ptr<TActivation>> Taken;
  while (!Agenda.Empty()) Taken.push_back(Agenda.Extract(0));
  Agenda.SetStrategy(ssLex);
  for (auto& Activation : Taken) Agenda.Add(std::move(Activation));
  EXPECT_EQ(Order(Agenda), "a c d b e");
}

TEST_F(TStrategyTest, SimplicityAndComplexityCountTestsAndBreakTiesNewestFirst) {
  TIEAgenda Simple;
  Simple.SetStrategy(ssSimplicity);
  TIEAgenda Complex;
  Complex.SetStrategy(ssComplexity);
  for (TIEAgenda* Agenda : {&Simple, &Complex}) {
    Add(*Agenda, "two", 0, {1}, 2);
    Add(*Agenda, "five", 0, {1}, 5);
    Add(*Agenda, "zero", 0, {1}, 0);
    Add(*Agenda, "two'", 0, {1}, 2);
    Add(*Agenda, "loud", 9, {1}, 3);
  }
  EXPECT_EQ(Order(Simple), "loud zero two' two five");
  EXPECT_EQ(Order(Complex), "loud five two' two zero");
}

TEST_F(TStrategyTest, RandomKeepsSalienceAndRepeatsUnderASeed) {
  auto Run = [&](uint32_t Seed) {
    TIEAgenda Agenda;
    Agenda.SetStrategy(ssRandom);
    Agenda.SetRandomSeed(Seed);
    for (int I = 0; I < 40; ++I) Add(Agenda, std::to_string(I), I % 3 == 0 ? 1 : 0);
    std::vector<int32_t> Saliences;
    for (const TActivation* Activation : Agenda.Items()) Saliences.push_back(Activation->GetSalience());
    EXPECT_TRUE(std::is_sorted(Saliences.rbegin(), Saliences.rend()));
    return Order(Agenda);
  };
  const std::string First = Run(7);
  EXPECT_EQ(Run(7), First);
  EXPECT_NE(Run(8), First);
  // Not simply newest or oldest first.
  std::string Newest;
  for (int I = 39; I >= 0; --I)
    if (I % 3 == 0) Newest += (Newest.empty() ? "" : " ") + std::to_string(I);
  EXPECT_NE(First.substr(0, Newest.size()), Newest);
}

TEST_F(TStrategyTest, ALargeAgendaStaysInOrderAcrossChunks) {
  // Thousands of activations (several chunks), added and removed in random order, under each ordering
  // strategy: every neighbour pair keeps the strategy's order.
  for (TSearchStrategy Strategy :
       {ssNewestFirst, ssOldestFirst, ssLex, ssMea, ssSimplicity, ssComplexity, ssRandom}) {
    SCOPED_TRACE(SearchStrategyName(Strategy));
    std::mt19937 Random(1234u + Strategy);
    TIEAgenda Agenda;
    Agenda.SetStrategy(Strategy);
    std::vector<TActivation*> Live;
    for (int I = 0; I < 4000; ++I) {
      if (!Live.empty() && Random() % 4 == 0) {
        const size_t Pick = Random() % Live.size();
        EXPECT_TRUE(Agenda.Remove(Live[Pick]));
        Live.erase(Live.begin() + static_cast<std::ptrdiff_t>(Pick));
        continue;
      }
      std::vector<int32_t> Ids;
      for (uint32_t K = Random() % 4; K > 0; --K) Ids.push_back(static_cast<int32_t>(Random() % 50));
      if (Ids.empty()) Ids.push_back(0);
      auto Activation = std::make_unique<TActivation>(RuleOf(static_cast<int32_t>(Random() % 3)),
                                                      TokenOf(Ids), nullptr, 1.0f);
      Activation->SetSalience(Activation->GetRule()->GetSalience());
      Activation->AgendaKeys.Tests = static_cast<int32_t>(Random() % 5);
      Live.push_back(Activation.get());
      Agenda.Add(std::move(Activation));
    }
    const std::vector<TActivation*> Items = Agenda.Items();
    ASSERT_EQ(Items.size(), Live.size());
    for (size_t I = 1; I < Items.size(); ++I) ASSERT_TRUE(Agenda.Before(*Items[I - 1], *Items[I])) << I;
  }
}

TEST_F(TStrategyTest, ReSortingKeepsRecency) {
  TIEAgenda Agenda;
  Add(Agenda, "a", 0);
  Add(Agenda, "b", 0);
  Add(Agenda, "c", 0);
  EXPECT_EQ(Order(Agenda), "c b a");  // depth-first
  auto ReSort = [&](TSearchStrategy Strategy) {
    std::vector<std::unique_ptr<TActivation>> Taken;
    while (!Agenda.Empty()) Taken.push_back(Agenda.Extract(0));
    Agenda.SetStrategy(Strategy);
    for (auto& Activation : Taken) Agenda.Add(std::move(Activation));
  };
  ReSort(ssOldestFirst);
  EXPECT_EQ(Order(Agenda), "a b c");
  ReSort(ssBreadthFirst);
  EXPECT_EQ(Order(Agenda), "a b c");
  ReSort(ssNewestFirst);
  EXPECT_EQ(Order(Agenda), "c b a");
  Add(Agenda, "d", 0);
  EXPECT_EQ(Order(Agenda), "d c b a");
}

TEST(StrategyNames, RoundTripAndRejectOthers) {
  for (int I = ssDepthFirst; I <= ssRandom; ++I) {
    TSearchStrategy Strategy = ssDepthFirst;
    const auto Expected = static_cast<TSearchStrategy>(I);
    EXPECT_TRUE(SearchStrategyNamed(SearchStrategyName(Expected), Strategy));
    EXPECT_EQ(Strategy, Expected);
  }
  TSearchStrategy Strategy = ssLex;
  for (const char* Bad : {"", "Depth", "depth ", "newest-first", "ssLex"})
    EXPECT_FALSE(SearchStrategyNamed(Bad, Strategy));
  EXPECT_EQ(Strategy, ssLex);
  EXPECT_EQ(TSearchStrategyInfo().Name(ssMea), "ssMea");
}

}  // namespace
