#pragma once
// TIOStreams: an engine's named text streams (opened by the rule language's open function), by logical
// name. The table owns its streams: they are freed when removed, replaced or cleared.
#include <memory>
#include <string>

#include "rulecraft/collections/TextStream.h"
#include "rulecraft/engine/EngineCollections.h"
#include "rulecraft/framework/Object.h"

namespace rulecraft {

class TInferenceEngine;

class TIOStreams : public TPersistent {
  RC_CLASS(TIOStreams, TPersistent)

 public:
  explicit TIOStreams(TInferenceEngine* Engine) : FEngine(Engine) {}

  /// Stores Stream under Name. A name already taken by another stream: dcOverwrite frees the old one,
  /// dcIgnore keeps it (and frees the new one), dcError raises "Duplicate streams defined with same name:".
  void Put(const std::string& Name, std::unique_ptr<TGTextStream> Stream);
  void Add(const std::string& Name, std::unique_ptr<TGTextStream> Stream) { Put(Name, std::move(Stream)); }
  /// The stream of that name, or nullptr.
  TGTextStream* Get(const std::string& Name) const;
  bool ContainsKey(const std::string& Name) const { return FTable.ContainsKey(Name); }
  /// Frees the stream of that name; "Invalid stream name: %s" when there is none.
  void Remove(const std::string& Name);
  /// Frees every stream.
  void Clear();
  int32_t Count() const noexcept { return FTable.Count(); }

 private:
  TInferenceEngine* FEngine;
  TNamedTable<std::shared_ptr<TGTextStream>> FTable;
};

}  // namespace rulecraft
