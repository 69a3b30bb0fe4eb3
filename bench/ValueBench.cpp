// Micro benchmarks of the value layer: creation, equality, hashing, text forms and multifield growth.
#include <benchmark/benchmark.h>

#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueVector.h"

using namespace rulecraft;

static void BM_CreateInteger(benchmark::State& State) {
  int32_t I = 0;
  for (auto _ : State) {
    IIEValue V = MakeRef<TIEValue>(I++, dtInteger);
    benchmark::DoNotOptimize(V.get());
  }
}
BENCHMARK(BM_CreateInteger);

static void BM_CreateAtom(benchmark::State& State) {
  const std::string Text = "customer-order";
  for (auto _ : State) {
    IIEValue V = MakeRef<TIEValue>(Text, dtAtom);
    benchmark::DoNotOptimize(V.get());
  }
}
BENCHMARK(BM_CreateAtom);

static void BM_CopyHandle(benchmark::State& State) {
  IIEValue V = MakeRef<TIEValue>(1, dtInteger);
  for (auto _ : State) {
    IIEValue Copy = V;
    benchmark::DoNotOptimize(Copy.get());
  }
}
BENCHMARK(BM_CopyHandle);

static void BM_EqualsAtom(benchmark::State& State) {
  IIEValue A = MakeRef<TIEValue>("customer-order", dtAtom);
  IIEValue B = MakeRef<TIEValue>("customer-order", dtAtom);
  for (auto _ : State) benchmark::DoNotOptimize(A->Equals(B));
}
BENCHMARK(BM_EqualsAtom);

static void BM_EqualsInteger(benchmark::State& State) {
  IIEValue A = MakeRef<TIEValue>(17, dtInteger);
  IIEValue B = MakeRef<TIEValue>(17, dtInteger);
  for (auto _ : State) benchmark::DoNotOptimize(A->Equals(B));
}
BENCHMARK(BM_EqualsInteger);

static void BM_HashAtom(benchmark::State& State) {
  IIEValue A = MakeRef<TIEValue>("customer-order", dtAtom);
  for (auto _ : State) benchmark::DoNotOptimize(A->GetHashCode());
}
BENCHMARK(BM_HashAtom);

static void BM_HashFloat(benchmark::State& State) {
  IIEValue A = MakeRef<TIEValue>(1234.5678);
  for (auto _ : State) benchmark::DoNotOptimize(A->GetHashCode());
}
BENCHMARK(BM_HashFloat);

static void BM_ToStringFloat(benchmark::State& State) {
  IIEValue A = MakeRef<TIEValue>(1234.5678);
  for (auto _ : State) benchmark::DoNotOptimize(A->GetToString());
}
BENCHMARK(BM_ToStringFloat);

static void BM_ToStringList(benchmark::State& State) {
  IValueVector V = MakeRef<TValueVector>();
  for (int I = 0; I < 10; ++I) V->Add(MakeRef<TIEValue>(I, dtInteger));
  IIEValue List = MakeRef<TIEValue>(V);
  for (auto _ : State) benchmark::DoNotOptimize(List->GetToString());
}
BENCHMARK(BM_ToStringList);

static void BM_MultifieldAppend(benchmark::State& State) {
  IIEValue Element = MakeRef<TIEValue>(1, dtInteger);
  for (auto _ : State) {
    IValueVector V = MakeRef<TValueVector>();
    for (int64_t I = 0; I < State.range(0); ++I) V->Add(Element);
    benchmark::DoNotOptimize(V.get());
  }
  State.SetItemsProcessed(State.iterations() * State.range(0));
}
BENCHMARK(BM_MultifieldAppend)->Arg(10)->Arg(1000);
