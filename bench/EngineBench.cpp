// The engine at scale, driven through its C++ interface:
//  - an expert system of two templates and two rules, (a (x ?x)) ?f <- (b (x ?x)) => retract ?f, and a
//    negated rule (a (x ?x)) (not (b (x ?x))) => nothing, over a fact set of N a facts and N b facts: timed
//    from Reset (which asserts the fact set) to the end of Run (which retracts every b);
//  - duplicate detection with duplicates refused: N distinct facts asserted, then the same N again (all
//    refused).
// Items are facts asserted or retracted; peak_rss_kib is the run's peak resident memory.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "BenchMemory.h"
#include "rulecraft/core/Constants.h"
#include "rulecraft/engine/FactSet.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/functions/FunctionCall.h"

using namespace rulecraft;
using rulecraft::bench::PeakMemoryKiB;
using rulecraft::bench::ResetPeakMemory;

namespace {

// (retract-id <fact id>)
class TRetractFunction final : public TIEUserFunction {
 public:
  explicit TRetractFunction(TInferenceEngine* Engine)
      : TIEUserFunction("retract-id", 1, 1), FEngine(Engine) {}

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    IIEValue Value;
    FunCall.GetArgument(0)->Resolve(Context, Value);
    FEngine->Retract(Value->GetAsInteger());
    Result = FCTrue;
  }

 private:
  TInferenceEngine* FEngine;
};

IIEValue Var(const std::string& Name) { return MakeRef<TIEValue>(Name, dtVariable); }

std::unique_ptr<TIEPattern> Pattern(TInferenceEngine& Engine, const std::string& Name, int32_t Negated,
                                    const std::string& Bound = std::string()) {
  auto Made = std::make_unique<TIEPattern>(&Engine, Name, Engine.FindFactTemplate(Name), Negated);
  Made->AddTest("x", Var("x"), NoSubIndex, false, true);
  if (!Bound.empty()) Made->SetBoundName(Bound);
  return Made;
}

void BuildSystem(TInferenceEngine& Engine, int32_t N) {
  for (const char* Name : {"a", "b"}) {
    IFactTemplate Template = MakeRef<TFactTemplate>(&Engine, Name);
    Template->AddSlot("x", FCNil);
    Engine.GetFactTemplates().Put(Template);
  }
  Engine.AddUserFunction(MakeRef<TRetractFunction>(&Engine));
  auto* Join = new TRule(&Engine);
  Join->SetRuleName("consume");
  Join->AppendPattern(Pattern(Engine, "a", 0));
  Join->AppendPattern(Pattern(Engine, "b", 0, "f"));
  IFunCall Retract = MakeRef<TFunctionCall>(&Engine, "retract-id");
  Retract->AddArgument(Var("f"));
  Join->AddAction(Retract);
  Engine.GetRules().Put(Join);
  auto* Lonely = new TRule(&Engine);
  Lonely->SetRuleName("lonely");
  Lonely->SetSalienceInteger(-1);
  Lonely->AppendPattern(Pattern(Engine, "a", 0));
  Lonely->AppendPattern(Pattern(Engine, "b", 1));
  Engine.GetRules().Put(Lonely);
  auto* Set = new TFactSet(&Engine);
  Set->SetFactSetName("data");
  for (const char* Name : {"a", "b"})
    for (int32_t I = 0; I < N; ++I) {
      IFact Fact = Engine.FindFactTemplate(Name)->NewFact();
      Fact->SetValue("x", MakeRef<TIEValue>(I, dtInteger));
      Set->AddFact(Fact);
    }
}

void BM_EngineResetAndRun(benchmark::State& State) {
  const auto N = static_cast<int32_t>(State.range(0));
  ResetPeakMemory();
  TInferenceEngine Engine;
  BuildSystem(Engine, N);
  int32_t Fired = 0;
  for (auto _ : State) {
    Engine.Reset();
    Fired = Engine.Run();
  }
  if (Fired != 2 * N) State.SkipWithError("unexpected number of firings");
  // Per iteration: 2N facts asserted, N retracted.
  State.SetItemsProcessed(State.iterations() * 3 * static_cast<int64_t>(N));
  State.counters["rules_fired"] = Fired;
  State.counters["peak_rss_kib"] = PeakMemoryKiB();
}
BENCHMARK(BM_EngineResetAndRun)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_EngineDuplicateDetection(benchmark::State& State) {
  const auto N = static_cast<int32_t>(State.range(0));
  ResetPeakMemory();
  for (auto _ : State) {
    State.PauseTiming();
    auto Engine = std::make_unique<TInferenceEngine>();
    IFactTemplate Template = MakeRef<TFactTemplate>(Engine.get(), "p");
    Template->AddSlot("x", FCNil);
    Template->AddSlot("y", FCNil);
    Engine->GetFactTemplates().Put(Template);
    State.ResumeTiming();
    for (int Round = 0; Round < 2; ++Round)
      for (int32_t I = 0; I < N; ++I) {
        IFact Fact = Template->NewFact();
        Fact->SetValue("x", MakeRef<TIEValue>(I, dtInteger));
        Fact->SetValue("y", MakeRef<TIEValue>("s" + std::to_string(I), dtAtom));
        const int32_t ID = Engine->Assert(Fact);
        if ((Round == 1) != (ID < 0)) State.SkipWithError("duplicate detection failed");
      }
    State.PauseTiming();
    Engine.reset();
    State.ResumeTiming();
  }
  State.SetItemsProcessed(State.iterations() * 2 * static_cast<int64_t>(N));
  State.counters["peak_rss_kib"] = PeakMemoryKiB();
}
BENCHMARK(BM_EngineDuplicateDetection)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
