#include "rulecraft/functions/EvaluationState.h"

namespace rulecraft {

TEvaluationState& ThreadEvaluationState() noexcept {
  thread_local TEvaluationState State;
  return State;
}

}  // namespace rulecraft
