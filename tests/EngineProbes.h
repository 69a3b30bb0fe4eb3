#pragma once
// Shared by the tests that compare two engines: an engine whose terminal output is collected, and its facts
// and agenda as lines.
#include <cstdint>
#include <string>
#include <vector>

#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/rete/Activation.h"
#include "rulecraft/rete/Rule.h"

namespace rulecraft::testing {

/// An engine whose terminal output is collected.
struct TQuietEngine {
  TInferenceEngine Engine;
  std::string Output;
  TQuietEngine() {
    Engine.OnPrintOut = [this](TObject*, const std::string&, const std::string& Text) { Output += Text; };
  }
};

/// The facts with their identifiers, in fact-base order.
inline std::vector<std::string> FactLines(TInferenceEngine& Engine) {
  std::vector<std::string> Lines;
  Engine.GetFacts().ForEach([&Lines](const IFact& Fact) {
    Lines.push_back("f-" + std::to_string(Fact->GetID()) + " " + Fact->GetToString());
  });
  return Lines;
}

/// "rule: facts" per activation on the agenda.
inline std::vector<std::string> AgendaLines(TInferenceEngine& Engine) {
  std::vector<std::string> Lines;
  for (int32_t I = 0; I < Engine.GetAgendaCount(); ++I) {
    TActivation* Activation = Engine.GetActivation(I);
    Lines.push_back(Activation->GetRule()->GetRuleName() + ": " + Activation->GetToken()->GetToFactsString());
  }
  return Lines;
}

}  // namespace rulecraft::testing
