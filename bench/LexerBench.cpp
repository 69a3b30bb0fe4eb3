// Lexer benchmarks: tokenising a rule file of about one megabyte held in memory, the same text through a
// standard stream, and one deeply nested S-expression.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "rulecraft/parser/ClipsStream.h"

using namespace rulecraft;

namespace {

// Templates, facts and rules with comments, strings, numbers and variables, repeated to about 1 MB.
const std::string& RuleFile() {
  static const std::string Text = [] {
    std::string Out;
    for (int I = 0; Out.size() < 1000000; ++I) {
      const std::string N = std::to_string(I);
      Out += "; order handling, part " + N + "\r\n";
      Out += "(deftemplate order" + N + " \"An order\"\r\n  (slot id (type INTEGER))\r\n";
      Out += "  (slot amount (type FLOAT) (default 0.0))\r\n  (multislot items))\r\n";
      Out +=
          "(deffacts orders" + N + " (order" + N + " (id " + N + ") (amount 12.50) (items a b \"c d\")))\r\n";
      Out += "(defrule big-order" + N + " (declare (salience -10))\r\n";
      Out += "  ?o <- (order" + N + " (id ?id&:(> ?id 100)) (amount ?a&~0.0) (items $?all))\r\n";
      Out += "  =>\r\n  (printout t \"Order \" ?id \" is big: \" ?a crlf)\r\n  (retract ?o))\r\n";
    }
    return Out;
  }();
  return Text;
}

void LexAll(TIEClipsStream& S, benchmark::State& State, int64_t& Tokens) {
  for (;;) {
    IStreamToken T = S.NextToken();
    ++Tokens;
    if (T->GetDataType() == dtNone) break;
  }
  benchmark::DoNotOptimize(S.GetNestingDepth());
  (void)State;
}

void BM_LexRuleFileInMemory(benchmark::State& State) {
  int64_t Tokens = 0;
  for (auto _ : State) {
    TIEClipsStream S(RuleFile());
    LexAll(S, State, Tokens);
  }
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * static_cast<int64_t>(RuleFile().size()));
  State.counters["tokens/s"] = benchmark::Counter(static_cast<double>(Tokens), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LexRuleFileInMemory)->Unit(benchmark::kMillisecond);

void BM_LexRuleFileFromStream(benchmark::State& State) {
  int64_t Tokens = 0;
  for (auto _ : State) {
    std::istringstream In(RuleFile());
    TIEClipsStream S(In);
    LexAll(S, State, Tokens);
  }
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * static_cast<int64_t>(RuleFile().size()));
  State.counters["tokens/s"] = benchmark::Counter(static_cast<double>(Tokens), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LexRuleFileFromStream)->Unit(benchmark::kMillisecond);

void BM_LexDeepNesting(benchmark::State& State) {
  const int Depth = 100000;
  const std::string Text = std::string(Depth, '(') + "x" + std::string(Depth, ')');
  int64_t Tokens = 0;
  for (auto _ : State) {
    TIEClipsStream S(Text);
    LexAll(S, State, Tokens);
  }
  State.counters["tokens/s"] = benchmark::Counter(static_cast<double>(Tokens), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LexDeepNesting)->Unit(benchmark::kMillisecond);

}  // namespace
