#include "rulecraft/engine/IOStreams.h"

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/InferenceEngine.h"

namespace rulecraft {

void TIOStreams::Put(const std::string& Name, std::unique_ptr<TGTextStream> Stream) {
  if (!Stream) return;
  if (const auto* Old = FTable.Find(Name)) {
    if (Old->get() == Stream.get()) {
      (void)Stream.release();  // the very stream stored already
      return;
    }
    switch (FEngine ? FEngine->GetDuplicateConstructs() : dcOverwrite) {
      case dcIgnore:
        return;
      case dcError:
        throw EIEException(SDuplicateStreamNames, {Name});
      case dcOverwrite:
        break;
    }
  }
  FTable.Put(Name, std::shared_ptr<TGTextStream>(std::move(Stream)));
}

TGTextStream* TIOStreams::Get(const std::string& Name) const {
  const auto* Found = FTable.Find(Name);
  return Found ? Found->get() : nullptr;
}

void TIOStreams::Remove(const std::string& Name) {
  if (!FTable.Remove(Name)) throw EIEException(SInvalidStreamName, {Name});
}

void TIOStreams::Clear() { FTable.Clear(); }

}  // namespace rulecraft
