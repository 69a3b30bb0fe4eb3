// Parse until the parser is in place: every text is refused.
#include "rulecraft/core/IEException.h"
#include "rulecraft/engine/InferenceEngine.h"

namespace rulecraft {

bool TInferenceEngine::Parse(const std::string&, bool) { throw EIEException("no parser yet"); }

}  // namespace rulecraft
