// Activations: strength limits, text, firing, copies. The agenda: the salience search with both strategies,
// ownership, index errors, chunk boundaries against a plain-vector model, re-sorting on a strategy change
// and a large agenda emptied in random order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "../FakeRuleEngine.h"
#include "../TestValues.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/rete/Activation.h"
#include "rulecraft/rete/Agenda.h"
#include "rulecraft/rete/ReteNode.h"

using namespace rulecraft;
using namespace rulecraft::testing;

namespace {

class TAgendaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Order = Engine.CreateFactTemplate("order");
    Order->AddSlot("id", Int(0));
    Token = MakeRef<TIEToken>(taAdd, NewFact(1));
  }

  IFact NewFact(int32_t Id) {
    IFact Fact = Order->NewFact();
    Fact->SetID(Id);
    return Fact;
  }

  // One rule per salience, made on first use.
  TRule* RuleOf(int32_t Salience) {
    TRule*& Rule = Rules[Salience];
    if (!Rule) {
      Rule = new TRule(&Engine);
      Rule->SetSalienceInteger(Salience);
    }
    return Rule;
  }

  std::unique_ptr<TActivation> New(int32_t Salience) {
    return std::make_unique<TActivation>(RuleOf(Salience), Token, nullptr, 1.0f);
  }

  // An agenda holding activations of the given saliences in this order.
  void Fill(TIEAgenda& Agenda, const std::vector<int32_t>& Saliences) {
    for (int32_t Salience : Saliences) Agenda.Insert(-1, New(Salience));
  }

  static std::vector<int32_t> Saliences(const TIEAgenda& Agenda) {
    std::vector<int32_t> Result;
    for (const TActivation* Activation : Agenda.Items())
      Result.push_back(Activation->GetRule()->GetSalience());
    return Result;
  }

  TFakeRuleEngine Engine;
  IFactTemplate Order;
  IReteToken Token;
  std::map<int32_t, TRule*> Rules;
};

// The agenda's order kept in a plain vector, with the salience search written out over it.
struct TModel {
  std::vector<TActivation*> Items;

  static int32_t SalienceOf(const TActivation* Activation) { return Activation->GetRule()->GetSalience(); }

  int32_t Search(TSearchStrategy Strategy, int32_t S) const {
    if (Items.empty()) return -1;
    const auto Sal = [&](int32_t I) { return SalienceOf(Items[static_cast<size_t>(I)]); };
    const int32_t Last = static_cast<int32_t>(Items.size()) - 1;
    if (Strategy == ssDepthFirst) {
      if (S >= Sal(0)) return 0;
      if (S < Sal(Last)) return -1;
    } else {
      if (S <= Sal(Last)) return -1;
      if (S > Sal(0)) return 0;
    }
    int32_t Lo = 0, Hi = Last;
    while (Lo <= Hi) {
      const int32_t Mid = (Lo + Hi) / 2;
      if (Sal(Mid) == S) return Mid;
      if (Sal(Mid) > S)
        Lo = Mid + 1;
      else
        Hi = Mid - 1;
    }
    return Hi + 1;
  }
  void Insert(int32_t Index, TActivation* Activation) {
    if (Index < 0) Index = static_cast<int32_t>(Items.size());
    Items.insert(Items.begin() + Index, Activation);
  }
  int32_t Size() const { return static_cast<int32_t>(Items.size()); }
};

// Compares the whole agenda with the model: the order, Get and IndexOf of every item.
void ExpectSame(const TIEAgenda& Agenda, const TModel& Model) {
  ASSERT_EQ(Agenda.Count(), Model.Size());
  ASSERT_EQ(Agenda.Items(), Model.Items);
  for (int32_t I = 0; I < Model.Size(); ++I) {
    ASSERT_EQ(Agenda.IndexOf(Model.Items[static_cast<size_t>(I)]), I);
    ASSERT_EQ(Agenda.Get(I), Model.Items[static_cast<size_t>(I)]);
  }
}

}  // namespace

// ---- activations -----------------------------------------------------------------------------------------

TEST_F(TAgendaTest, ActivationStrengthTextAndCopies) {
  TPatternMatchTerminalNode Terminal(nullptr, nullptr);  // outlives every activation pointing to it
  EXPECT_EQ(TActivation(RuleOf(0), Token, nullptr, 1.5f).GetStrength(), 1.0f);
  EXPECT_EQ(TActivation(RuleOf(0), Token, nullptr, -0.2f).GetStrength(), 0.0f);
  TActivation Activation(RuleOf(0), Token, nullptr, 0.5f);
  const std::pair<float, float> Stored[] = {{1.5f, 1.0f},
                                            {-0.2f, 0.0f},
                                            {0.25f, 0.25f},
                                            {std::numeric_limits<float>::quiet_NaN(), 0.0f},
                                            {std::numeric_limits<float>::infinity(), 1.0f},
                                            {-0.0f, 0.0f}};
  for (const auto& [Given, Kept] : Stored) {
    Activation.SetStrength(Given);
    EXPECT_EQ(Activation.GetStrength(), Kept) << Given;
    EXPECT_FALSE(std::signbit(Activation.GetStrength())) << Given;
  }

  // The text shows the activation's own salience: the rule's when it was made, or the one stored since.
  TRule* Rule = RuleOf(10);
  Rule->SetRuleName("check-order");
  IReteToken Match = MakeRef<TIEToken>(MakeRef<TIEToken>(taAdd, NewFact(1)), NewFact(4));
  TActivation Check(Rule, Match, nullptr, 1.0f);
  EXPECT_EQ(Check.GetToString(), "10 check-order : f-1, f-4 (1.0000)");
  Check.SetStrength(0.123456f);
  Rule->SetSalienceInteger(-3);
  EXPECT_EQ(Check.GetToString(), "10 check-order : f-1, f-4 (0.1235)");
  Check.SetSalience(-3);
  EXPECT_EQ(Check.GetToString(), "-3 check-order : f-1, f-4 (0.1235)");
  TIEAgenda Agenda;  // one activation per line, in agenda order
  Agenda.Add(Check.Clone());
  Agenda.Add(std::make_unique<TActivation>(RuleOf(7), Token, nullptr, 1.0f));
  EXPECT_EQ(Agenda.GetToString(),
            "7 " + RuleOf(7)->GetRuleName() + " : f-1 (1.0000)\r\n-3 check-order : f-1, f-4 (0.1235)");
  EXPECT_EQ(TIEAgenda().GetToString(), "");

  // Copies take rule, token, node, strength and salience; a copy is on no agenda, an assigned one stays where
  // it is.
  TPatternMatchTerminalNode* Node = &Terminal;
  Check.SetNode(Node);
  std::unique_ptr<TActivation> Copy = Check.Clone();
  EXPECT_EQ(Copy->GetToString(), Check.GetToString());
  EXPECT_EQ(Copy->GetToken().get(), Match.get());
  EXPECT_EQ(Copy->GetNode(), Node);
  EXPECT_EQ(Copy->AgendaSlot, nullptr);
  EXPECT_EQ(Copy->GetSalience(), -3);
  TActivation* OnAgenda = Agenda.Get(0);
  OnAgenda->Assign(&Check);
  EXPECT_EQ(OnAgenda->GetToString(), Check.GetToString());
  EXPECT_EQ(OnAgenda->GetNode(), Node);
  EXPECT_EQ(OnAgenda->GetSalience(), -3);
  EXPECT_EQ(Agenda.IndexOf(OnAgenda), 0);
  TIEToken NotAnActivation;
  EXPECT_THROW(OnAgenda->Assign(&NotAnActivation), EConvertError);
}

TEST_F(TAgendaTest, FiringRunsTheRuleWithTheToken) {
  // Firing through a terminal node, which then hears of it, is covered with the network.
  TRule* Rule = RuleOf(0);
  int Firings = 0;
  Rule->OnFire = [&](TRule*, TIEContext* Context) {
    EXPECT_EQ(Context->GetToken().get(), Token.get());
    ++Firings;
  };
  TActivation(Rule, Token, nullptr, 1.0f).Fire();
  EXPECT_TRUE(Rule->GetFired());
  EXPECT_EQ(Firings, 1);
}

// ---- the agenda ------------------------------------------------------------------------------------------

TEST_F(TAgendaTest, ActivationsKeepTheSalienceTheyWereMadeWith) {
  TRule* Rule = RuleOf(5);
  Rule->SetRuleName("watch");
  TRule* Middle = RuleOf(7);
  for (TSearchStrategy Strategy : {ssDepthFirst, ssBreadthFirst}) {
    SCOPED_TRACE(Strategy);
    TIEAgenda Agenda;
    Agenda.SetStrategy(Strategy);
    TActivation* Third = Agenda.Get(Agenda.Add(std::make_unique<TActivation>(Middle, Token, nullptr, 1.0f)));
    Rule->SetSalienceInteger(5);
    TActivation* Low = Agenda.Get(Agenda.Add(std::make_unique<TActivation>(Rule, Token, nullptr, 1.0f)));
    Rule->SetSalienceInteger(10);
    TActivation* High = Agenda.Get(Agenda.Add(std::make_unique<TActivation>(Rule, Token, nullptr, 1.0f)));
    // The rule now says 10 for both; each activation still carries its own salience and place.
    EXPECT_EQ(Low->GetSalience(), 5);
    EXPECT_EQ(High->GetSalience(), 10);
    EXPECT_EQ(Agenda.Items(), (std::vector<TActivation*>{High, Third, Low}));
    EXPECT_EQ(Low->GetToString(), "5 watch : f-1 (1.0000)");
    EXPECT_EQ(High->GetToString(), "10 watch : f-1 (1.0000)");
    // The search compares stored saliences: 6 goes between the 7 and the old 5, not after both 10s.
    EXPECT_EQ(Agenda.SearchSalience(6), 2);
    EXPECT_EQ(Agenda.SearchSalience(10), 0);
    // A salience stored after evaluation (as the engine does for dynamic salience) decides the place.
    Rule->SetSalienceInteger(0);
    auto Evaluated = std::make_unique<TActivation>(Rule, Token, nullptr, 1.0f);
    Evaluated->SetSalience(8);
    TActivation* Raw = Evaluated.get();
    EXPECT_EQ(Agenda.Add(std::move(Evaluated)), 1);
    EXPECT_EQ(Agenda.Items(), (std::vector<TActivation*>{High, Raw, Third, Low}));
  }
}

TEST_F(TAgendaTest, SalienceSearchWorkedExamples) {
  TIEAgenda Agenda;
  EXPECT_EQ(Agenda.SearchSalience(5), -1);
  Agenda.SetStrategy(ssBreadthFirst);
  EXPECT_EQ(Agenda.SearchSalience(5), -1);

  Fill(Agenda, {10, 5, 5, 0});
  Agenda.SetStrategy(ssDepthFirst);
  EXPECT_EQ(Agenda.SearchSalience(10), 0);
  EXPECT_EQ(Agenda.SearchSalience(11), 0);
  EXPECT_EQ(Agenda.SearchSalience(-1), -1);
  EXPECT_EQ(Agenda.SearchSalience(5), 1);  // mid 1 holds 5
  EXPECT_EQ(Agenda.SearchSalience(3), 3);  // mids 1, 2 hold 5, mid 3 holds 0: hi ends at 2
  EXPECT_EQ(Agenda.SearchSalience(0), 3);  // equal to the last: the bisection meets it
  Agenda.SetStrategy(ssBreadthFirst);
  EXPECT_EQ(Agenda.SearchSalience(0), -1);
  EXPECT_EQ(Agenda.SearchSalience(-7), -1);
  EXPECT_EQ(Agenda.SearchSalience(20), 0);
  EXPECT_EQ(Agenda.SearchSalience(5), 1);
  EXPECT_EQ(Agenda.SearchSalience(10), 0);  // mid 1 holds 5, hi becomes 0; mid 0 holds 10

  // Add goes where the search says and returns the position; -1 appends.
  Agenda.SetStrategy(ssDepthFirst);
  EXPECT_EQ(Agenda.Add(New(3)), 3);
  EXPECT_EQ(Agenda.Add(New(-1)), 5);
  EXPECT_EQ(Saliences(Agenda), (std::vector<int32_t>{10, 5, 5, 3, 0, -1}));
}

TEST_F(TAgendaTest, OwnershipAndRefusals) {
  // Each activation holds the token; its count tells whether the activation still lives.
  IReteToken Held = MakeRef<TIEToken>(taAdd, NewFact(9));
  const int32_t Alone = Held->RefCount();
  auto Make = [&] { return std::make_unique<TActivation>(RuleOf(0), Held, nullptr, 1.0f); };
  {
    TIEAgenda Agenda;
    for (int I = 0; I < 4; ++I) Agenda.Add(Make());
    std::unique_ptr<TActivation> Out = Agenda.Extract(1);
    EXPECT_EQ(Held->RefCount(), Alone + 4);  // extracted, not freed
    EXPECT_EQ(Agenda.IndexOf(Out.get()), -1);
    EXPECT_FALSE(Agenda.Remove(Out.get()));
    EXPECT_EQ(Agenda.Extract(Out.get()), nullptr);
    Out.reset();
    EXPECT_TRUE(Agenda.Remove(Agenda.Get(0)));
    Agenda.Delete(0);
    EXPECT_EQ(Held->RefCount(), Alone + 1);

    // An activation on another agenda is not this agenda's.
    TIEAgenda Other;
    Other.Add(Make());
    TActivation* Foreign = Other.Get(0);
    EXPECT_EQ(Agenda.IndexOf(Foreign), -1);
    EXPECT_FALSE(Agenda.Remove(Foreign));
    EXPECT_EQ(Agenda.Extract(Foreign), nullptr);
    EXPECT_FALSE(Agenda.Remove(nullptr));
    EXPECT_EQ(Other.IndexOf(Foreign), 0);
    Other.Clear();
    EXPECT_EQ(Held->RefCount(), Alone + 1);
    Other.Add(Make());  // usable after Clear
  }
  EXPECT_EQ(Held->RefCount(), Alone);  // both agendas freed the rest when they went

  TIEAgenda Agenda;
  Fill(Agenda, {3, 2, 1});
  ExpectError<EListError>([&] { Agenda.Get(3); }, "List index out of bounds (3)");
  ExpectError<EListError>([&] { Agenda.Get(-1); }, "List index out of bounds (-1)");
  ExpectError<EListError>([&] { Agenda.Extract(3); }, "List index out of bounds (3)");
  ExpectError<EListError>([&] { Agenda.Delete(-1); }, "List index out of bounds (-1)");
  ExpectError<EListError>([&] { Agenda.Insert(4, New(0)); }, "List index out of bounds (4)");
  ExpectError<EListError>([&] { Agenda.Insert(-2, New(0)); }, "List index out of bounds (-2)");
  ExpectError([&] { Agenda.Add(nullptr); }, "Invalid object, agenda can only accept TActivation objects");
  ExpectError([&] { Agenda.Insert(0, nullptr); },
              "Invalid object, agenda can only accept TActivation objects");
  Agenda.Insert(3, New(0));  // Count is a place too: the end
  EXPECT_EQ(Saliences(Agenda), (std::vector<int32_t>{3, 2, 1, 0}));
}

TEST_F(TAgendaTest, RandomOperationsMatchAPlainVector) {
  // Front insertions leave full chunks behind a partly filled first one; then every place gets an item,
  // the chunk boundaries included.
  {
    TIEAgenda Agenda;
    TModel Model;
    for (int32_t I = 0; I < 2300; ++I) {
      const int32_t Where = I < 1100 ? 0 : ((I - 1100) * 7) % (Model.Size() + 1);
      auto Activation = New(0);
      Model.Insert(Where, Activation.get());
      Agenda.Insert(Where, std::move(Activation));
    }
    ExpectSame(Agenda, Model);
  }
  // Grown to 3000 and emptied again, twice, under each strategy: Add with few saliences (long runs of
  // ties), Insert, Remove, Delete and both Extracts, at the front, the middle, the end or anywhere.
  for (TSearchStrategy Strategy : {ssDepthFirst, ssBreadthFirst}) {
    SCOPED_TRACE(Strategy == ssDepthFirst ? "depth-first" : "breadth-first");
    std::mt19937 Random(20240611u + Strategy);
    auto Below = [&](int32_t N) { return static_cast<int32_t>(Random() % static_cast<uint32_t>(N)); };
    auto Place = [&](int32_t Size) {  // 0..Size-1
      const int32_t Kind = Below(4);
      return Kind == 0 ? 0 : Kind == 1 ? Size / 2 : Kind == 2 ? Size - 1 : Below(Size);
    };
    TIEAgenda Agenda;
    Agenda.SetStrategy(Strategy);
    TModel Model;
    for (int Round = 0; Round < 4; ++Round) {
      const bool Growing = Round % 2 == 0;
      for (int32_t Step = 1; Growing ? Model.Size() < 3000 : Model.Size() > 0; ++Step) {
        const int32_t Op = Below(100);
        const bool Insert = Model.Size() == 0 || (Growing ? Op < 70 : Op < 30);
        if (Insert && Op % 5 != 0) {
          auto Activation = New(Below(7) - 3);
          TActivation* Raw = Activation.get();
          const int32_t Expected = Model.Search(Strategy, TModel::SalienceOf(Raw));
          ASSERT_EQ(Agenda.SearchSalience(TModel::SalienceOf(Raw)), Expected);
          ASSERT_EQ(Agenda.Add(std::move(Activation)), Expected < 0 ? Model.Size() : Expected);
          Model.Insert(Expected, Raw);
        } else if (Insert) {
          const int32_t Where = Op % 3 == 0 ? -1 : Place(Model.Size() + 1);
          auto Activation = New(Below(7) - 3);
          Model.Insert(Where, Activation.get());
          Agenda.Insert(Where, std::move(Activation));
        } else {
          const int32_t Where = Place(Model.Size());
          TActivation* Victim = Model.Items[static_cast<size_t>(Where)];
          ASSERT_EQ(Agenda.IndexOf(Victim), Where);
          if (Op % 4 == 0)
            ASSERT_TRUE(Agenda.Remove(Victim));
          else if (Op % 4 == 1)
            Agenda.Delete(Where);
          else
            ASSERT_EQ((Op % 4 == 2 ? Agenda.Extract(Where) : Agenda.Extract(Victim)).get(), Victim);
          Model.Items.erase(Model.Items.begin() + Where);
        }
        ASSERT_EQ(Agenda.Count(), Model.Size());
        if (Model.Size() > 0) {
          const int32_t Probe = Below(Model.Size());
          ASSERT_EQ(Agenda.Get(Probe), Model.Items[static_cast<size_t>(Probe)]);
        }
        if (Step % 211 == 0) ExpectSame(Agenda, Model);
      }
      ExpectSame(Agenda, Model);
    }
  }
}

TEST_F(TAgendaTest, ChangingTheStrategyReSortsTheAgenda) {
  // What the engine does: take every activation off in order, switch, add them back in that order.
  auto ReSort = [](TIEAgenda& Agenda, TSearchStrategy Strategy, TModel& Model) {
    const std::vector<TActivation*> Before = Agenda.Items();
    std::vector<std::unique_ptr<TActivation>> Moved;
    while (!Agenda.Empty()) Moved.push_back(Agenda.Extract(0));
    for (size_t I = 0; I < Moved.size(); ++I) ASSERT_EQ(Moved[I].get(), Before[I]);
    Agenda.SetStrategy(Strategy);
    Model.Items.clear();
    for (auto& Activation : Moved) {
      TActivation* Raw = Activation.get();
      const int32_t Expected = Model.Search(Strategy, TModel::SalienceOf(Raw));
      ASSERT_EQ(Agenda.Add(std::move(Activation)), Expected < 0 ? Model.Size() : Expected);
      Model.Insert(Expected, Raw);
    }
  };

  // One salience: depth-first stacks (the last added first), breadth-first queues.
  TIEAgenda Ties;
  TModel TieModel;
  std::vector<TActivation*> Created;
  for (int I = 0; I < 1500; ++I) {
    Created.push_back(Ties.Get(Ties.Add(New(1))));
    ASSERT_EQ(Ties.IndexOf(Created.back()), 0);
  }
  const std::vector<TActivation*> Reversed(Created.rbegin(), Created.rend());
  EXPECT_EQ(Ties.Items(), Reversed);
  ReSort(Ties, ssBreadthFirst, TieModel);
  EXPECT_EQ(Ties.Items(), Reversed);  // appended one by one: the order stays
  ReSort(Ties, ssDepthFirst, TieModel);
  EXPECT_EQ(Ties.Items(), Created);  // each goes in front: the order turns round

  // Mixed saliences: the agenda matches the model and stays in descending salience after each switch.
  std::mt19937 Random(7);
  TIEAgenda Agenda;
  TModel Model;
  for (int I = 0; I < 2000; ++I) {
    auto Activation = New(static_cast<int32_t>(Random() % 10));
    Model.Insert(Model.Search(ssDepthFirst, TModel::SalienceOf(Activation.get())), Activation.get());
    Agenda.Add(std::move(Activation));
  }
  for (TSearchStrategy Strategy : {ssBreadthFirst, ssDepthFirst}) {
    ReSort(Agenda, Strategy, Model);
    ExpectSame(Agenda, Model);
    const std::vector<int32_t> Order = Saliences(Agenda);
    EXPECT_TRUE(std::is_sorted(Order.begin(), Order.end(), std::greater<int32_t>()));
  }
}

TEST_F(TAgendaTest, ALargeAgendaEmptiedInRandomOrder) {
  // 100,000 activations of one salience, depth-first: each goes in front; removal finds it in its chunk.
  constexpr int32_t N = 100000;
  TIEAgenda Agenda;
  std::vector<TActivation*> Created;
  for (int32_t I = 0; I < N; ++I) {
    auto Activation = New(0);
    Created.push_back(Activation.get());
    ASSERT_EQ(Agenda.Add(std::move(Activation)), 0);
  }
  EXPECT_EQ(Agenda.Get(N - 1), Created.front());
  EXPECT_EQ(Agenda.IndexOf(Created[12345]), N - 1 - 12345);

  std::mt19937 Random(99);
  std::vector<int32_t> Order(N);
  for (int32_t I = 0; I < N; ++I) Order[static_cast<size_t>(I)] = I;
  std::shuffle(Order.begin(), Order.end(), Random);
  std::vector<bool> Gone(N);
  for (int32_t I = 0; I < N; ++I) {
    const size_t Victim = static_cast<size_t>(Order[static_cast<size_t>(I)]);
    ASSERT_TRUE(Agenda.Remove(Created[Victim]));
    Gone[Victim] = true;
    if (I % 25000 == 24999) {  // the survivors keep their order (newest first) and their positions
      std::vector<TActivation*> Expected;
      for (size_t K = N; K-- > 0;)
        if (!Gone[K]) Expected.push_back(Created[K]);
      ASSERT_EQ(Agenda.Items(), Expected);
      for (size_t K = 0; K < Expected.size(); K += 97)
        ASSERT_EQ(Agenda.IndexOf(Expected[K]), static_cast<int32_t>(K));
    }
  }
  EXPECT_TRUE(Agenda.Empty());
}
