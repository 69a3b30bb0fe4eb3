// A host built against the installed library: one engine, one rule, one fact, one firing.
#include <iostream>
#include <string>

#include "rulecraft/Rulecraft.h"

int main() {
  using namespace rulecraft;
  TInferenceEngine Engine;
  Engine.OnPrintOut = [](TObject*, const std::string&, const std::string& Text) {
    for (char C : Text)
      if (C != '\r') std::cout << C;
  };
  try {
    Engine.Parse("(defrule greet (visitor ?name) => (printout t \"Hello, \" ?name \"!\" crlf))", true);
    Engine.Reset();
    Engine.Assert("(visitor world)");
    std::cout << Engine.Run() << " rule fired" << std::endl;
  } catch (const Exception& E) {
    std::cerr << E.Message() << std::endl;
    return 1;
  }
  return 0;
}
