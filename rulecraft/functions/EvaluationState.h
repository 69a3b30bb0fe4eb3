#pragma once
// TEvaluationState: what evaluation keeps for one engine: how deep calls and loaded files nest at this
// moment, the size limits of what a function may build, and the engine's random sequence. Each engine owns
// one, so engines never see each other's counters or draws; evaluation outside any engine (a call or context
// made without one) uses one for its thread.
#include <cstdint>
#include <random>

namespace rulecraft {

struct TEvaluationState {
  /// Calls executing now, one inside another (an argument that is a call, a function calling itself).
  int32_t CallDepth = 0;
  /// Levels of a call's structure being walked for its text, equality or hash.
  int32_t WalkDepth = 0;
  /// Files being loaded or batched now, one inside another.
  int32_t FileDepth = 0;
  /// The longest text (characters) and multifield (fields) a function may answer; 0 for no limit. The
  /// engine's host sets them (TInferenceEngine::SetMaxStringLength, SetMaxMultifieldLength).
  int32_t MaxStringLength = 0;
  int32_t MaxMultifieldLength = 0;
  /// The sequence random draws from and seed and randomize set (the generator's own default seed at first).
  std::mt19937 Random;
};

/// The state for evaluation outside any engine, one per thread.
TEvaluationState& ThreadEvaluationState() noexcept;

}  // namespace rulecraft
