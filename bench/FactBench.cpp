// Fact benchmarks on a template of five slots: creating a filled fact, comparing two equal facts, hashing.
#include <benchmark/benchmark.h>

#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/facts/FactTemplate.h"

using namespace rulecraft;

namespace {

IFactTemplate OrderTemplate() {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "order");
  T->AddSlot("id", MakeRef<TIEValue>(0, dtInteger));
  T->AddSlot("customer", MakeRef<TIEValue>("nobody", dtAtom));
  T->AddSlot("amount", MakeRef<TIEValue>(0.0));
  T->AddSlot("status", MakeRef<TIEValue>("new", dtAtom));
  T->AddMultiSlot("items", FCNilList);
  return T;
}

IFact OrderFact(const IFactTemplate& T, int32_t Id) {
  IFact F = MakeRef<TFact>(T);
  F->SetValue("id", MakeRef<TIEValue>(Id, dtInteger));
  F->SetValue("customer", MakeRef<TIEValue>("acme-corporation", dtAtom));
  F->SetValue("amount", MakeRef<TIEValue>(1234.5));
  F->SetValue("status", MakeRef<TIEValue>("open", dtAtom));
  IValueVector Items = MakeRef<TValueVector>();
  Items->Add(MakeRef<TIEValue>("widget", dtAtom));
  Items->Add(MakeRef<TIEValue>("gadget", dtAtom));
  F->SetValue("items", MakeRef<TIEValue>(Items));
  return F;
}

}  // namespace

static void BM_FactNewWithDefaults(benchmark::State& State) {
  IFactTemplate T = OrderTemplate();
  for (auto _ : State) {
    IFact F = T->NewFact();
    benchmark::DoNotOptimize(F.get());
  }
}
BENCHMARK(BM_FactNewWithDefaults);

static void BM_FactCreateAndSet(benchmark::State& State) {
  IFactTemplate T = OrderTemplate();
  int32_t Id = 0;
  for (auto _ : State) {
    IFact F = OrderFact(T, Id++);
    benchmark::DoNotOptimize(F.get());
  }
}
BENCHMARK(BM_FactCreateAndSet);

static void BM_FactEquals(benchmark::State& State) {
  IFactTemplate T = OrderTemplate();
  IFact A = OrderFact(T, 1), B = OrderFact(T, 1);
  for (auto _ : State) benchmark::DoNotOptimize(A->Equals(B));
}
BENCHMARK(BM_FactEquals);

static void BM_FactHash(benchmark::State& State) {
  IFactTemplate T = OrderTemplate();
  IFact A = OrderFact(T, 1);
  for (auto _ : State) benchmark::DoNotOptimize(A->GetHashCode());
}
BENCHMARK(BM_FactHash);

static void BM_FactClone(benchmark::State& State) {
  IFactTemplate T = OrderTemplate();
  IFact A = OrderFact(T, 1);
  for (auto _ : State) {
    IFact C = A->Clone();
    benchmark::DoNotOptimize(C.get());
  }
}
BENCHMARK(BM_FactClone);
