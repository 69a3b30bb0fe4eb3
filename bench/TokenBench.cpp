// Token memory benchmarks on 100,000 stored tokens: removing and re-adding a token, filling and emptying a
// memory, and key lookups. Memories are keyed three ways: by a slot with 100 values (1,000 tokens per key, a
// join's left memory with a short cut), by sort code (a left memory without one) and by the fact's hash
// (a right memory without one).
#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/facts/FactTemplate.h"
#include "rulecraft/rete/Token.h"
#include "rulecraft/rete/TokenTree.h"

using namespace rulecraft;

namespace {

enum TKeying { kBySlot, kBySortCode, kByFactHash };

IFact OrderFact(const IFactTemplate& T, int32_t Id, int32_t Customer) {
  IFact F = MakeRef<TFact>(T);
  F->SetID(Id);
  F->SetValue("id", MakeRef<TIEValue>(Id, dtInteger));
  F->SetValue("customer", MakeRef<TIEValue>(Customer, dtInteger));
  F->SetValue("status", MakeRef<TIEValue>("open", dtAtom));
  return F;
}

// 100,000 tokens: two-fact tokens (1,000 x 100 facts) for slot and sort-code keys, one-fact tokens for
// fact-hash keys.
struct TFixture {
  explicit TFixture(TKeying Keying)
      : Tree(101, Keying == kBySlot ? 1 : 0, -1, Keying == kBySlot ? "customer" : "", Keying == kBySortCode) {
    IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "order");
    T->AddSlot("id", MakeRef<TIEValue>(0, dtInteger));
    T->AddSlot("customer", MakeRef<TIEValue>(0, dtInteger));
    T->AddSlot("status", MakeRef<TIEValue>("new", dtAtom));
    Tokens.reserve(100000);
    if (Keying == kByFactHash) {
      for (int32_t I = 0; I < 100000; ++I)
        Tokens.push_back(MakeRef<TIEToken>(taAdd, OrderFact(T, I, I % 100)));
    } else {
      std::vector<IFact> Right;
      for (int32_t J = 0; J < 100; ++J) Right.push_back(OrderFact(T, 1000 + J, J));
      for (int32_t I = 0; I < 1000; ++I) {
        IReteToken Root = MakeRef<TIEToken>(taAdd, OrderFact(T, I, I % 100));
        for (const IFact& F : Right) Tokens.push_back(MakeRef<TIEToken>(Root, F));
      }
    }
    for (const IReteToken& Token : Tokens) Tree.Add(Token);
  }
  TIETokenTree Tree;
  std::vector<IReteToken> Tokens;
};

const char* KeyingName(int64_t Keying) {
  return Keying == kBySlot ? "slot" : Keying == kBySortCode ? "sortcode" : "facthash";
}

}  // namespace

// One retraction and one assertion against a full memory.
static void BM_TokenTreeRemoveAdd(benchmark::State& State) {
  TFixture Fixture(static_cast<TKeying>(State.range(0)));
  size_t I = 0;
  for (auto _ : State) {
    const IReteToken& Token = Fixture.Tokens[I];
    benchmark::DoNotOptimize(Fixture.Tree.Remove(Token));
    benchmark::DoNotOptimize(Fixture.Tree.Add(Token));
    I = (I + 7919) % Fixture.Tokens.size();
  }
  State.SetItemsProcessed(State.iterations() * 2);
  State.SetLabel(KeyingName(State.range(0)));
}
BENCHMARK(BM_TokenTreeRemoveAdd)->Arg(kBySlot)->Arg(kBySortCode)->Arg(kByFactHash);

// Adding a token equal to a stored one (refused).
static void BM_TokenTreeAddDuplicate(benchmark::State& State) {
  TFixture Fixture(static_cast<TKeying>(State.range(0)));
  size_t I = 0;
  for (auto _ : State) {
    benchmark::DoNotOptimize(Fixture.Tree.Add(Fixture.Tokens[I]));
    I = (I + 7919) % Fixture.Tokens.size();
  }
  State.SetItemsProcessed(State.iterations());
  State.SetLabel(KeyingName(State.range(0)));
}
BENCHMARK(BM_TokenTreeAddDuplicate)->Arg(kBySlot)->Arg(kBySortCode)->Arg(kByFactHash);

// Filling an empty memory with 100,000 tokens and removing them all again.
static void BM_TokenTreeFillAndEmpty(benchmark::State& State) {
  TFixture Fixture(static_cast<TKeying>(State.range(0)));
  Fixture.Tree.Clear();
  for (auto _ : State) {
    for (const IReteToken& Token : Fixture.Tokens) Fixture.Tree.Add(Token);
    for (const IReteToken& Token : Fixture.Tokens) Fixture.Tree.Remove(Token);
  }
  State.SetItemsProcessed(State.iterations() * static_cast<int64_t>(Fixture.Tokens.size()) * 2);
  State.SetLabel(KeyingName(State.range(0)));
}
BENCHMARK(BM_TokenTreeFillAndEmpty)
    ->Arg(kBySlot)
    ->Arg(kBySortCode)
    ->Arg(kByFactHash)
    ->Unit(benchmark::kMillisecond);

// Looking up a key and visiting its tokens: 1,000 per key by slot; by sort code the codes i * 8 + j of the
// 1,000 x 100 pairs collide, about a dozen per key.
static void BM_TokenTreeGetTokens(benchmark::State& State) {
  TFixture Fixture(static_cast<TKeying>(State.range(0)));
  std::vector<int32_t> Keys;
  for (size_t I = 0; I < Fixture.Tokens.size(); I += 97)
    Keys.push_back(Fixture.Tree.KeyOf(*Fixture.Tokens[I]));
  size_t I = 0;
  int64_t Visited = 0;
  for (auto _ : State) {
    for (const IReteToken& Token : Fixture.Tree.GetTokens(Keys[I])) {
      benchmark::DoNotOptimize(Token->GetNegatedCount());
      ++Visited;
    }
    I = (I + 1) % Keys.size();
  }
  State.counters["tokens/lookup"] = static_cast<double>(Visited) / static_cast<double>(State.iterations());
  State.SetItemsProcessed(State.iterations());
  State.SetLabel(KeyingName(State.range(0)));
}
BENCHMARK(BM_TokenTreeGetTokens)->Arg(kBySlot)->Arg(kBySortCode);

// Looking up a key that no token has.
static void BM_TokenTreeGetTokensMiss(benchmark::State& State) {
  TFixture Fixture(kBySortCode);
  int32_t Key = -1;
  for (auto _ : State) {
    benchmark::DoNotOptimize(Fixture.Tree.GetTokens(Key).size());
    --Key;
  }
  State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_TokenTreeGetTokensMiss);

// Visiting every stored token (a join without a short cut).
static void BM_TokenTreeIterateAll(benchmark::State& State) {
  TFixture Fixture(kBySlot);
  for (auto _ : State)
    for (const IReteToken& Token : Fixture.Tree) benchmark::DoNotOptimize(Token->GetNegatedCount());
  State.SetItemsProcessed(State.iterations() * static_cast<int64_t>(Fixture.Tokens.size()));
}
BENCHMARK(BM_TokenTreeIterateAll);

// Computing the key of a stored token alone: part of every Add and Remove.
static void BM_TokenTreeKeyOf(benchmark::State& State) {
  TFixture Fixture(static_cast<TKeying>(State.range(0)));
  size_t I = 0;
  for (auto _ : State) {
    benchmark::DoNotOptimize(Fixture.Tree.KeyOf(*Fixture.Tokens[I]));
    I = (I + 7919) % Fixture.Tokens.size();
  }
  State.SetItemsProcessed(State.iterations());
  State.SetLabel(KeyingName(State.range(0)));
}
BENCHMARK(BM_TokenTreeKeyOf)->Arg(kBySlot)->Arg(kBySortCode)->Arg(kByFactHash);
