// Engines on different threads run side by side: the values every engine shares (TRUE, FALSE, nil, the
// empty list) are never freed or corrupted by the handles both threads take.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "rulecraft/core/Value.h"
#include "rulecraft/engine/InferenceEngine.h"

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

}  // namespace
