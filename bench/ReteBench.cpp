// Rete network throughput, driven the way the engine drives it (one token per assertion or retraction):
//  - a join of two patterns on a shared variable, (a (k ?k)) (b (k ?k)), with 10,000 and 100,000 facts per
//    side, each fact of one side matching exactly one of the other: assert every a, every b, then retract
//    every a and every b;
//  - a single-pattern rule (a (k ?k)) with 100,000 facts asserted and retracted;
//  - a chain of three patterns on one variable, (a (x ?x)) (b (x ?x)) (c (x ?x)), and a negated join,
//    (a (x ?x)) (not (b (x ?x))), with 1,000, 10,000 and 100,000 facts per pattern, each fact matching
//    exactly one fact of every other pattern: assert everything, then retract everything. These report the
//    time per fact (seconds_per_fact) and the run's peak resident memory (peak_rss_kib, from VmHWM; the peak
//    is reset when a run starts where the kernel allows it, otherwise it is the process's peak so far).
// Items are facts: each assertion and each retraction counts one, so items_per_second is facts per second.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "../tests/FakeRuleEngine.h"
#include "BenchMemory.h"
#include "rulecraft/rete/ReteNetwork.h"

using namespace rulecraft;

namespace {

using rulecraft::bench::PeakMemoryKiB;
using rulecraft::bench::ResetPeakMemory;

// The tests' stand-in engine, with its activations kept in a table (taking one off is constant time, as on
// the engine's agenda, where the stand-in's arrival-ordered list would cost a search).
class TBenchEngine final : public rulecraft::testing::TFakeRuleEngine {
 public:
  ~TBenchEngine() override { Table.clear(); }

  void AddActivation(std::unique_ptr<TActivation> Activation) override {
    TActivation* Key = Activation.get();
    Table.emplace(Key, std::move(Activation));
  }
  void RemoveActivation(TActivation* Activation) override { Table.erase(Activation); }

  std::unordered_map<TActivation*, std::unique_ptr<TActivation>> Table;
};

struct TFixture {
  explicit TFixture(bool Join, int32_t PerSide) {
    Net = new TReteNetwork(&Engine, &Engine);
    A = Engine.CreateFactTemplate("a");
    A->AddSlot("k", FCNil);
    A->AddSlot("id", FCNil);
    B = Engine.CreateFactTemplate("b");
    B->AddSlot("k", FCNil);
    B->AddSlot("id", FCNil);
    auto* Rule = new TRule(&Engine);
    auto Left = std::make_unique<TIEPattern>(&Engine, "a", A, 0);
    Left->AddTest("k", MakeRef<TIEValue>("k", dtVariable), NoSubIndex, false, true);
    Rule->AppendPattern(std::move(Left));
    if (Join) {
      auto Right = std::make_unique<TIEPattern>(&Engine, "b", B, 0);
      Right->AddTest("k", MakeRef<TIEValue>("k", dtVariable), NoSubIndex, false, true);
      Rule->AppendPattern(std::move(Right));
    }
    Net->AddRule(Rule);
    int32_t Id = 1;
    for (int32_t I = 0; I < PerSide; ++I) Lefts.push_back(MakeFact(A, I, Id++));
    if (Join)
      for (int32_t I = 0; I < PerSide; ++I) Rights.push_back(MakeFact(B, (I * 7919) % PerSide, Id++));
  }

  static IFact MakeFact(const IFactTemplate& Template, int32_t Key, int32_t Id) {
    IFact Fact = MakeRef<TFact>(Template);
    Fact->SetValue("k", MakeRef<TIEValue>(Key, dtInteger));
    Fact->SetValue("id", MakeRef<TIEValue>(Id, dtInteger));
    Fact->SetID(Id);
    return Fact;
  }

  void Send(TTokenAction Action, const std::vector<IFact>& Facts) {
    for (const IFact& Fact : Facts) Net->ProcessToken(MakeRef<TIEToken>(Action, Fact));
  }

  TBenchEngine Engine;
  TReteNetwork* Net = nullptr;
  IFactTemplate A, B;
  std::vector<IFact> Lefts, Rights;
};

}  // namespace

// Assert every fact of both sides (one activation per pair), then retract them all.
static void BM_ReteJoinAssertRetract(benchmark::State& State) {
  const auto PerSide = static_cast<int32_t>(State.range(0));
  TFixture Fixture(true, PerSide);
  for (auto _ : State) {
    Fixture.Send(taAdd, Fixture.Lefts);
    Fixture.Send(taAdd, Fixture.Rights);
    if (Fixture.Engine.Table.size() != static_cast<size_t>(PerSide)) State.SkipWithError("wrong match count");
    Fixture.Send(taRemove, Fixture.Lefts);
    Fixture.Send(taRemove, Fixture.Rights);
    if (!Fixture.Engine.Table.empty()) State.SkipWithError("activations left");
  }
  State.SetItemsProcessed(State.iterations() * PerSide * 4);
}
BENCHMARK(BM_ReteJoinAssertRetract)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A single pattern: every assertion makes an activation, every retraction withdraws it.
static void BM_ReteSinglePatternAssertRetract(benchmark::State& State) {
  const auto Count = static_cast<int32_t>(State.range(0));
  TFixture Fixture(false, Count);
  for (auto _ : State) {
    Fixture.Send(taAdd, Fixture.Lefts);
    if (Fixture.Engine.Table.size() != static_cast<size_t>(Count)) State.SkipWithError("wrong match count");
    Fixture.Send(taRemove, Fixture.Lefts);
  }
  State.SetItemsProcessed(State.iterations() * Count * 2);
}
BENCHMARK(BM_ReteSinglePatternAssertRetract)->Arg(100000)->Unit(benchmark::kMillisecond);

namespace {

// (a (x ?x)) (b (x ?x)) (c (x ?x)), or with Negated (a (x ?x)) (not (b (x ?x))); PerPattern facts of each
// template, the keys of b and c shuffled so that the matching partners arrive far apart.
struct TChainFixture {
  TChainFixture(bool Negated, int32_t PerPattern) {
    Net = new TReteNetwork(&Engine, &Engine);
    const std::vector<std::string> Names =
        Negated ? std::vector<std::string>{"a", "b"} : std::vector<std::string>{"a", "b", "c"};
    auto* Rule = new TRule(&Engine);
    int32_t Id = 1;
    for (size_t P = 0; P < Names.size(); ++P) {
      IFactTemplate Template = Engine.CreateFactTemplate(Names[P]);
      Template->AddSlot("x", FCNil);
      auto Pattern = std::make_unique<TIEPattern>(&Engine, Names[P], Template, Negated && P == 1 ? 1 : 0);
      Pattern->AddTest("x", MakeRef<TIEValue>("x", dtVariable), NoSubIndex, false, true);
      Rule->AppendPattern(std::move(Pattern));
      std::vector<IFact> Facts;
      const int32_t Stride = P == 0 ? 1 : (P == 1 ? 7919 : 104729);
      for (int32_t I = 0; I < PerPattern; ++I) {
        IFact Fact = MakeRef<TFact>(Template);
        const auto Key = static_cast<int32_t>((static_cast<int64_t>(I) * Stride) % PerPattern);
        Fact->SetValue("x", MakeRef<TIEValue>(Key, dtInteger));
        Fact->SetID(Id++);
        Facts.push_back(Fact);
      }
      Patterns.push_back(std::move(Facts));
    }
    Net->AddRule(Rule);
  }

  void Send(TTokenAction Action, const std::vector<IFact>& Facts) {
    for (const IFact& Fact : Facts) Net->ProcessToken(MakeRef<TIEToken>(Action, Fact));
  }

  TBenchEngine Engine;
  TReteNetwork* Net = nullptr;
  std::vector<std::vector<IFact>> Patterns;
};

void ReportPerFact(benchmark::State& State, int64_t FactsPerIteration) {
  State.SetItemsProcessed(State.iterations() * FactsPerIteration);
  State.counters["seconds_per_fact"] =
      benchmark::Counter(static_cast<double>(FactsPerIteration),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  State.counters["peak_rss_kib"] = PeakMemoryKiB();
}

}  // namespace

// Three patterns joined on one variable: assert every a, b and c (one activation per key), then retract them
// in the same order.
static void BM_ReteThreePatternChain(benchmark::State& State) {
  const auto PerPattern = static_cast<int32_t>(State.range(0));
  ResetPeakMemory();
  TChainFixture Fixture(false, PerPattern);
  for (auto _ : State) {
    for (const auto& Facts : Fixture.Patterns) Fixture.Send(taAdd, Facts);
    if (Fixture.Engine.Table.size() != static_cast<size_t>(PerPattern))
      State.SkipWithError("wrong match count");
    for (const auto& Facts : Fixture.Patterns) Fixture.Send(taRemove, Facts);
    if (!Fixture.Engine.Table.empty()) State.SkipWithError("activations left");
  }
  ReportPerFact(State, int64_t{PerPattern} * 3 * 2);
}
BENCHMARK(BM_ReteThreePatternChain)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A negated join: every a matches, every b then blocks its a; retracting the b's unblocks them, and
// retracting the a's withdraws the matches again.
static void BM_ReteNegatedJoin(benchmark::State& State) {
  const auto PerPattern = static_cast<int32_t>(State.range(0));
  ResetPeakMemory();
  TChainFixture Fixture(true, PerPattern);
  const std::vector<IFact>& As = Fixture.Patterns[0];
  const std::vector<IFact>& Bs = Fixture.Patterns[1];
  for (auto _ : State) {
    Fixture.Send(taAdd, As);
    if (Fixture.Engine.Table.size() != static_cast<size_t>(PerPattern))
      State.SkipWithError("wrong match count");
    Fixture.Send(taAdd, Bs);
    if (!Fixture.Engine.Table.empty()) State.SkipWithError("blocked matches left");
    Fixture.Send(taRemove, Bs);
    if (Fixture.Engine.Table.size() != static_cast<size_t>(PerPattern))
      State.SkipWithError("unblocked match count");
    Fixture.Send(taRemove, As);
    if (!Fixture.Engine.Table.empty()) State.SkipWithError("activations left");
  }
  ReportPerFact(State, int64_t{PerPattern} * 2 * 2);
}
BENCHMARK(BM_ReteNegatedJoin)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
