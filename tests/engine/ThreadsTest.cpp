// Engines on different threads run side by side: the values every engine shares (TRUE, FALSE, nil, the
// empty list) are never freed or corrupted by the handles both threads take, and what an engine keeps for
// itself (its random sequence, its nesting counters, its critical section) no other engine touches. These
// tests also run under ThreadSanitizer (`make tsan`).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Symbol.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/functions/UserFunction.h"

using namespace rulecraft;

namespace {

TEST(EngineThreads, EnginesOnDifferentThreadsShareTheConstants) {
  constexpr int Engines = 4;
  std::vector<std::string> Outputs(Engines);
  std::vector<std::thread> Threads;
  for (int I = 0; I < Engines; ++I) {
    Threads.emplace_back([I, &Outputs] {
      TInferenceEngine Engine;
      Engine.OnPrintOut = [&](TObject*, const std::string&, const std::string& Text) { Outputs[I] += Text; };
      Engine.Parse(
          "(deftemplate item (slot n) (slot flag) (multislot tags))"
          "(defrule flip ?f <- (item (n ?n&:(< ?n 20000)) (flag ?b)) =>"
          "  (modify ?f (n (+ ?n 1)) (flag (not ?b)) (tags (create$))))"
          "(defrule done (item (n 20000) (flag ?b)) => (printout t \"done \" ?b crlf))"
          "(assert (item (n 0) (flag TRUE)))"
          "(run)",
          true);
    });
  }
  for (std::thread& Thread : Threads) Thread.join();
  for (const std::string& Output : Outputs) EXPECT_EQ(Output, "<Fact-1>\r\ndone TRUE\r\n20001\r\n");
  EXPECT_EQ(FCTrue->GetAsString(), "TRUE");
  EXPECT_EQ(FCNilList->GetAsList()->GetValueCount(), 0);
  EXPECT_EQ(FCTrue->RefCount(), TInterfacedObject::ImmortalCount);
}

TEST(EngineThreads, EnginesShareInternedTextsAndGiveThemBack) {
  const std::string Program =
      "(deftemplate key (slot text) (slot n))"
      "(defrule pair (key (text ?t) (n 1)) (key (text ?t) (n 2)) => (printout t ?t crlf))"
      "(deffunction make (?n) (bind ?i 0)"
      "  (while (< ?i ?n) do"
      "    (assert (key (text (sym-cat shared-text- ?i)) (n 1)) (key (text (sym-cat shared-text- ?i)) (n 2)))"
      "    (bind ?i (+ ?i 1))))";
  {
    // A first engine makes whatever the process keeps for good (the packages' own texts) before counting.
    TInferenceEngine Warm;
    Warm.Parse(Program + "(reset)(make 1)(run)", true);
  }
  const size_t Before = TSymbol::TableSize();
  constexpr int Keys = 3000;
  std::vector<const TSymbol*> Seen(2);
  std::vector<std::string> Outputs(2);
  std::atomic<int> Ready{0};
  std::vector<std::thread> Threads;
  for (size_t T = 0; T < 2; ++T)
    Threads.emplace_back([&, T] {
      TInferenceEngine Engine;
      Engine.OnPrintOut = [&](TObject*, const std::string&, const std::string& Text) { Outputs[T] += Text; };
      Engine.Parse(Program + "(reset)(make " + std::to_string(Keys) + ")(run)", true);
      const IIEValue Found = Engine.ParseNExecuteFunCall("(sym-cat shared-text- 1234 x)");
      Seen[T] = Found->GetSymbol();
      // Both engines hold their facts until both have looked.
      ++Ready;
      while (Ready.load() < 2) std::this_thread::yield();
      EXPECT_EQ(Seen[0], Seen[1]);
    });
  for (std::thread& Thread : Threads) Thread.join();
  for (const std::string& Output : Outputs) {
    size_t Count = 0;
    for (size_t At = Output.find("shared-text-"); At != std::string::npos;
         At = Output.find("shared-text-", At + 1))
      ++Count;
    EXPECT_EQ(Count, static_cast<size_t>(Keys));
  }
  ASSERT_NE(Seen[0], nullptr);
  // With both engines gone, every text they made has left the table.
  EXPECT_EQ(TSymbol::TableSize(), Before);
}

// Every engine loads a program from a file, runs it, saves the whole system and its facts, clears, loads what
// it saved and runs again, round after round, while the others do the same: each ends with exactly what one
// engine alone prints and writes.
TEST(EngineThreads, EnginesLoadRunSaveAndClearAtOnce) {
  const std::filesystem::path Dir = std::filesystem::temp_directory_path() / "rulecraft-engine-threads";
  std::filesystem::remove_all(Dir);
  std::filesystem::create_directories(Dir);
  const std::string Program =
      "(deftemplate order (slot id) (slot total) (multislot lines))\n"
      "(defglobal ?*seen* = 0)\n"
      "(deffunction sum (?n) (bind ?t 0) (foreach x ?n (bind ?t (+ ?t ?x))) ?t)\n"
      "(deffacts start (order (id 1) (lines 3 4 5)) (order (id 2) (lines 10 20)))\n"
      "(defrule total ?o <- (order (id ?i) (total nil) (lines $?l)) =>\n"
      "  (modify ?o (total (sum $?l))) (bind ?*seen* (+ ?*seen* 1)))\n"
      "(defrule report (order (id ?i) (total ?t&~nil)) =>\n"
      "  (printout t (sym-cat order- ?i) \" \" ?t \" \" (str-cat \"seen-\" ?*seen*) crlf))\n";
  { std::ofstream(Dir / "program.clp", std::ios::binary) << Program; }
  constexpr int Rounds = 5;
  auto Work = [&](const std::string& Tag, std::string& Output, std::string& Error) {
    try {
      TInferenceEngine Engine;
      Engine.SetEchoResults(false);
      Engine.OnPrintOut = [&](TObject*, const std::string&, const std::string& Text) { Output += Text; };
      const std::string Own = (Dir / ("engine-" + Tag)).string();
      Engine.LoadFromFile((Dir / "program.clp").string());
      for (int Round = 0; Round < Rounds; ++Round) {
        Engine.Parse("(reset)(run)", true);
        Engine.Parse("(save \"" + Own + ".clp\")(save-facts \"" + Own + ".facts\")", true);
        Engine.Clear();
        Engine.LoadFromFile(Own + ".clp");
        Engine.Parse("(reset)(load-facts \"" + Own + ".facts\")(assert (order (id 3) (lines 1)))(run)", true);
        Output += "|";
      }
    } catch (const Exception& E) {
      Error = E.Message();
    }
  };
  std::string Expected, ExpectedError;
  Work("alone", Expected, ExpectedError);
  ASSERT_EQ(ExpectedError, "");
  ASSERT_NE(Expected.find("order-2 30 seen-"), std::string::npos) << Expected;
  ASSERT_NE(Expected.find("order-3 1"), std::string::npos) << Expected;

  constexpr int Engines = 4;
  std::vector<std::string> Outputs(Engines), Errors(Engines);
  std::vector<std::thread> Threads;
  for (int I = 0; I < Engines; ++I)
    Threads.emplace_back([&, I] { Work(std::to_string(I), Outputs[I], Errors[I]); });
  for (std::thread& Thread : Threads) Thread.join();
  std::filesystem::remove_all(Dir);
  for (int I = 0; I < Engines; ++I) {
    EXPECT_EQ(Errors[I], "") << "engine " << I;
    EXPECT_EQ(Outputs[I], Expected) << "engine " << I;
  }
}

// The numbers (random 1000) gives Count times in a fresh engine after Prefix ran.
std::string Draws(TInferenceEngine& Engine, int Count, const std::string& Prefix = "") {
  if (!Prefix.empty()) Engine.ParseNExecuteFunCall(Prefix);
  std::string Text;
  for (int I = 0; I < Count; ++I) Text += Engine.ParseNExecuteFunCall("(random 1000)")->GetToString() + " ";
  return Text;
}

TEST(EngineThreads, EachEngineHasItsOwnRandomSequence) {
  std::string Default, Seeded;
  {
    TInferenceEngine Fresh;
    Default = Draws(Fresh, 200);
    TInferenceEngine Other;
    Seeded = Draws(Other, 200, "(seed 7)");
  }
  ASSERT_NE(Default, Seeded);

  // On one thread: seeding and drawing in one engine leaves the other's sequence where it was.
  TInferenceEngine First, Second;
  const std::string Head = Draws(First, 100);
  Draws(Second, 50, "(seed 7)");
  EXPECT_EQ(Head + Draws(First, 100), Default);

  // On two threads: one engine reseeds all the time while the other draws its whole default sequence.
  std::atomic<bool> Stop{false};
  std::thread Reseeder([&Stop] {
    TInferenceEngine Engine;
    while (!Stop) Draws(Engine, 5, "(seed 7)");
  });
  std::string Drawn;
  std::thread Drawer([&Drawn] {
    TInferenceEngine Engine;
    Drawn = Draws(Engine, 200);
  });
  Drawer.join();
  Stop = true;
  Reseeder.join();
  EXPECT_EQ(Drawn, Default);
}

TEST(EngineThreads, NestingIsCountedPerEngine) {
  // A host function of one engine runs another engine's program, which nests calls deeply itself: each
  // engine counts only its own calls, so the inner program reaches depth 1500 although the outer engine
  // is already 1000 calls deep.
  TInferenceEngine Outer, Inner;
  Inner.Parse("(deffunction down (?n) (if (> ?n 0) then (+ 1 (down (- ?n 1))) else 0))", true);
  std::string InnerResult;
  Outer.Parse("(deffunction down (?n) (if (> ?n 0) then (+ 1 (down (- ?n 1))) else (inner) 0))", true);
  class TInnerFunction final : public TIEUserFunction {
   public:
    TInnerFunction(TInferenceEngine& Engine, std::string& Result)
        : TIEUserFunction("inner", 0, 0), FEngine(Engine), FResult(Result) {}

   protected:
    void Evaluate(TFunctionCall&, TIEContext*, IIEValue& Result) override {
      FResult = FEngine.ParseNExecuteFunCall("(down 450)")->GetToString();
      Result = FCTrue;
    }

   private:
    TInferenceEngine& FEngine;
    std::string& FResult;
  };
  Outer.AddUserFunction(MakeRef<TInnerFunction>(Inner, InnerResult));
  Outer.ParseNExecuteFunCall("(down 300)");
  EXPECT_EQ(InnerResult, "450");
  // The outer engine's own limit still holds, and the inner engine's counters are back at zero.
  EXPECT_THROW(Outer.ParseNExecuteFunCall("(down 5000)"), EIEException);
  EXPECT_EQ(Inner.GetEvaluationState().CallDepth, 0);
  EXPECT_EQ(Outer.GetEvaluationState().CallDepth, 0);
}

TEST(EngineThreads, TheCriticalSectionBelongsToItsEngine) {
  TInferenceEngine Engine, Other;
  Engine.Unlock();  // never entered: nothing happens
  Engine.Lock();
  Engine.Lock();  // the holder enters again
  std::atomic<bool> OtherEntered{false}, EngineEntered{false};
  std::thread Neighbour([&] {
    Other.Lock();  // another engine's section is free
    OtherEntered = true;
    Other.Unlock();
    Engine.Unlock();  // not the holder: nothing happens
    Engine.Lock();
    EngineEntered = true;
    Engine.Unlock();
  });
  while (!OtherEntered) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(EngineEntered);
  Engine.Unlock();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(EngineEntered);  // still held once
  Engine.Unlock();
  Neighbour.join();
  EXPECT_TRUE(EngineEntered);
}

}  // namespace
