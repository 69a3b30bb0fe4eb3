// Agenda benchmarks on 100,000 activations: adding them all (depth-first and breadth-first, with one salience
// for every rule or with saliences spread over 101 rules), then removing and freeing them in the order they
// were made, as retracting their facts does. Reported per operation: insert_ns and remove_ns.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <random>
#include <vector>

#include "rulecraft/facts/Fact.h"
#include "rulecraft/facts/FactTemplate.h"
#include "rulecraft/rete/Activation.h"
#include "rulecraft/rete/Agenda.h"
#include "rulecraft/rete/Rule.h"
#include "rulecraft/rete/Token.h"

using namespace rulecraft;

// Activations are never fired here. Weak, so that the terminal node's own definition wins where the network
// is linked in.
__attribute__((weak)) void rulecraft::NotifyTerminalNodeFired(TPatternMatchTerminalNode*, TActivation*) {}

namespace {

constexpr int32_t ActivationCount = 100000;

enum TSaliences { slEqual, slSpread };

void BM_AddThenRemove(benchmark::State& State) {
  const auto Strategy = static_cast<TSearchStrategy>(State.range(0));
  const auto Saliences = static_cast<TSaliences>(State.range(1));

  std::vector<std::unique_ptr<TRule>> Rules;
  for (int32_t Salience = -50; Salience <= 50; ++Salience) {
    Rules.push_back(std::make_unique<TRule>(nullptr));
    Rules.back()->SetSalienceInteger(Salience);
  }
  IFactTemplate Template = MakeRef<TFactTemplate>(nullptr, "order");
  IFact Fact = MakeRef<TFact>(Template);
  Fact->SetID(1);
  const IReteToken Token = MakeRef<TIEToken>(taAdd, Fact);
  std::mt19937 Random(42);
  std::vector<TRule*> RuleOf;
  for (int32_t I = 0; I < ActivationCount; ++I)
    RuleOf.push_back(Saliences == slEqual ? Rules[50].get() : Rules[Random() % Rules.size()].get());

  using TClock = std::chrono::steady_clock;
  double InsertSeconds = 0.0;
  double RemoveSeconds = 0.0;
  std::vector<TActivation*> Created(ActivationCount);
  for (auto _ : State) {
    State.PauseTiming();
    TIEAgenda Agenda;
    Agenda.SetStrategy(Strategy);
    std::vector<std::unique_ptr<TActivation>> Made;
    Made.reserve(ActivationCount);
    for (int32_t I = 0; I < ActivationCount; ++I) {
      Made.push_back(std::make_unique<TActivation>(RuleOf[static_cast<size_t>(I)], Token, nullptr, 1.0f));
      Created[static_cast<size_t>(I)] = Made.back().get();
    }
    State.ResumeTiming();

    const auto Start = TClock::now();
    for (auto& Activation : Made) Agenda.Add(std::move(Activation));
    const auto Added = TClock::now();
    for (TActivation* Activation : Created) Agenda.Remove(Activation);
    const auto Removed = TClock::now();
    benchmark::DoNotOptimize(Agenda.Count());
    InsertSeconds += std::chrono::duration<double>(Added - Start).count();
    RemoveSeconds += std::chrono::duration<double>(Removed - Added).count();
  }
  const double Operations = static_cast<double>(State.iterations()) * ActivationCount;
  State.counters["insert_ns"] = InsertSeconds * 1e9 / Operations;
  State.counters["remove_ns"] = RemoveSeconds * 1e9 / Operations;
  State.SetItemsProcessed(static_cast<int64_t>(Operations) * 2);
}

}  // namespace

BENCHMARK(BM_AddThenRemove)
    ->ArgNames({"breadth_first", "spread"})
    ->Args({ssDepthFirst, slEqual})
    ->Args({ssBreadthFirst, slEqual})
    ->Args({ssDepthFirst, slSpread})
    ->Args({ssBreadthFirst, slSpread})
    ->Unit(benchmark::kMillisecond);
