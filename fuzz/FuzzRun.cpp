// Fuzz target: a whole program loaded (top-level calls executed), then reset and run under the confined
// engine's firing limit, then saved as text; the engine must stay usable for a small program afterwards.
#include "fuzz/FuzzEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace rulecraft;
  const std::string Text(reinterpret_cast<const char*>(Data), Size);
  if (!fuzz::Bounded(Text)) return 0;
  auto Engine = fuzz::MakeConfinedEngine();
  fuzz::Guarded([&] { Engine->Parse(Text); });
  fuzz::Guarded([&] { Engine->Reset(); });
  fuzz::Guarded([&] { Engine->Run(); });
  fuzz::Guarded([&] { (void)Engine->GetExpertSystem(); });
  // After whatever happened the engine clears, loads, resets and runs a small program correctly.
  Engine->Clear();
  Engine->Parse("(defrule fuzz-check (fuzz-probe ?x) => (assert (fuzz-seen ?x)))");
  Engine->Reset();
  Engine->Assert("(fuzz-probe 1)");
  if (Engine->Run() != 1) __builtin_trap();
  return 0;
}
