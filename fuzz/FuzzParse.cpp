// Fuzz target: the lexer and the parser alone. The text is read as a whole program without executing its
// top-level calls, into an engine whose fact base is empty (Clear), so that registering a rule matches
// nothing and nothing fires. What a construct evaluates while it is defined (a global's value, a slot's
// default, a salience) still runs, under the confined engine's limits. Texts of odd length are read with
// recovery (every error collected, reading resumed after the broken construct), the others stop at the
// first error.
#include "fuzz/FuzzEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string Text(reinterpret_cast<const char*>(Data), Size);
  if (!rulecraft::fuzz::Bounded(Text)) return 0;
  auto Engine = rulecraft::fuzz::MakeConfinedEngine();
  Engine->Clear();
  if (Size % 2 == 1) {
    Engine->SetParserErrorHandling(rulecraft::ehRaiseAllAtEnd);
    Engine->SetParserMaxErrors(1000);
  }
  rulecraft::fuzz::Guarded([&] { Engine->Parse(Text, false); });
  // Whatever was defined prints back as text.
  rulecraft::fuzz::Guarded([&] { (void)Engine->GetExpertSystem(); });
  return 0;
}
