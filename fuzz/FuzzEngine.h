#pragma once
// What every fuzz target shares: an engine confined as a host confines rules it does not trust (no file
// access, caps on facts, firings, text and multifield sizes, terminal input that answers end of file at
// once, dialogs refused, output discarded), and the filter that keeps unbounded loops out of the engine.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "rulecraft/Rulecraft.h"

namespace rulecraft::fuzz {

/// A fresh engine with every limit a host sets for rules from strangers.
inline std::unique_ptr<TInferenceEngine> MakeConfinedEngine() {
  auto Engine = std::make_unique<TInferenceEngine>();
  Engine->SetFileAccess(faNone);
  Engine->SetMaxFacts(2000);
  Engine->SetMaxFirings(2000);
  Engine->SetMaxStringLength(1 << 16);
  Engine->SetMaxMultifieldLength(1 << 14);
  Engine->OnPrintOut = [](TObject*, const std::string&, const std::string&) {};
  // An empty line is the terminal's end of input: read answers EOF and readline EOF at once.
  Engine->OnReadLine = [](TObject*, const std::string&, std::string& Text) { Text.clear(); };
  Engine->OnReadToken = Engine->OnReadLine;
  Engine->OnDialog = [](TObject*, const TDialogRequest&, std::string&) { return false; };
  return Engine;
}

/// False for text the engine would evaluate without end by design: the loop functions run until their
/// condition says stop, and the engine bounds firings, sizes and nesting but not the number of steps inside
/// one evaluation. Such inputs are skipped rather than reported as hangs.
inline bool Bounded(std::string_view Text) {
  for (std::string_view Loop : {"while", "loop-for-count"})
    if (Text.find(Loop) != std::string_view::npos) return false;
  return true;
}

/// Runs Body and swallows the engine's own exceptions (Exception and its descendants, EIEExit included):
/// they are its answer to bad input, not a fault. Any other exception escapes and the fuzzer reports it,
/// as it reports a crash, a sanitizer finding or a hang.
template <typename F>
void Guarded(F&& Body) {
  try {
    Body();
  } catch (const Exception&) {
  }
}

}  // namespace rulecraft::fuzz
