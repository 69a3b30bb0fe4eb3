// Fuzz target: the fact-text reader, as assert-string uses it. The text is asserted as one fact into an
// engine that knows a few templates; a fact that was asserted prints, as save-facts writes it, to text that
// reads back in a fresh engine as a fact printing the same (the round trip save-facts and load-facts rely
// on).
#include "fuzz/FuzzEngine.h"

namespace {

const char* const Templates = R"(
(deftemplate point (slot x (type INTEGER)) (slot y (type FLOAT) (default 0.5)))
(deftemplate person (slot name (type STRING)) (multislot tags) (slot age (type INTEGER) (range 0 150)))
(deftemplate any (slot a) (multislot b))
)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace rulecraft;
  const std::string Text(reinterpret_cast<const char*>(Data), Size);
  if (!fuzz::Bounded(Text)) return 0;
  auto Engine = fuzz::MakeConfinedEngine();
  Engine->Parse(Templates);
  Engine->Reset();
  int32_t ID = -1;
  fuzz::Guarded([&] { ID = Engine->Assert(Text); });
  if (ID <= 0) {
    fuzz::Guarded([&] { Engine->Retract(Text); });
    return 0;
  }
  const TReadBackText ReadBack;
  std::string Printed;
  Engine->GetFacts().ForEach([&](const IFact& Fact) {
    if (Fact->GetID() == ID) Printed = Fact->GetToString();
  });
  fuzz::Guarded([&] { Engine->Retract(Text); });
  // The printed fact reads back as the same fact.
  auto Fresh = fuzz::MakeConfinedEngine();
  Fresh->Parse(Templates);
  Fresh->Reset();
  const int32_t Again = Fresh->Assert(Printed);
  std::string Reprinted;
  Fresh->GetFacts().ForEach([&](const IFact& Fact) {
    if (Fact->GetID() == Again) Reprinted = Fact->GetToString();
  });
  if (Reprinted != Printed) __builtin_trap();
  return 0;
}
