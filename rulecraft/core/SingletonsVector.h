#pragma once
// TSingletonsVector: the points of a fuzzy set as written in the rule language, (x, y) pairs of values
// (numbers, variables, calls) evaluated when the singletons value is resolved.
#include <cstdint>
#include <string>

#include "rulecraft/collections/Cloneable.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/core/ValueVector.h"

namespace rulecraft {

/// What a singleton vector needs from the engine that parsed it.
class ISingletonsParser {
 public:
  virtual ISingletonsVector ParseSingletons(const std::string& Text) = 0;
  virtual std::string PrettyPrint(const TSingletonsVector& Vector) = 0;

 protected:
  ~ISingletonsParser() = default;
};

class TSingletonsVector final : public ICloneable {
  RC_CLASS(TSingletonsVector, ICloneable)
 public:
  explicit TSingletonsVector(ISingletonsParser* Parser = nullptr);
  ~TSingletonsVector() override;

  // ICloneable
  using ICloneable::Assign;
  /// From another singleton vector: the pairs are cloned, parser and tag taken over.
  void Assign(const TPersistent* Source) override;
  void Assign(const ICloneableRef& Source) override;
  ICloneableRef CloneInterface() const override { return Clone(); }
  bool Equals(const ICloneable* Other) const override;
  int32_t GetTag() const override { return FTag; }
  void SetTag(int32_t Value) override { FTag = Value; }

  ISingletonsVector Clone() const;

  int32_t GetCount() const noexcept { return FXValues->GetValueCount(); }
  const IIEValue& GetXValues(int32_t Index) const { return FXValues->Get(Index); }
  void SetXValues(int32_t Index, IIEValue Value) { FXValues->Put(Index, std::move(Value)); }
  const IIEValue& GetYValues(int32_t Index) const { return FYValues->Get(Index); }
  void SetYValues(int32_t Index, IIEValue Value) { FYValues->Put(Index, std::move(Value)); }
  /// Appends the pair (the objects themselves) and returns its index.
  int32_t Add(IIEValue X, IIEValue Y);
  void Clear() noexcept;
  /// The parser that created the vector (not owned), or nullptr.
  ISingletonsParser* GetParser() const noexcept { return FParser; }
  void SetParser(ISingletonsParser* Parser) noexcept { FParser = Parser; }
  /// The position of that very value object among the x (or y) values, or -1.
  int32_t IndexOfX(const IIEValue& Value) const noexcept { return FXValues->IndexOf(Value); }
  int32_t IndexOfY(const IIEValue& Value) const noexcept { return FYValues->IndexOf(Value); }
  void Insert(int32_t Index, IIEValue X, IIEValue Y);
  void Delete(int32_t Index);
  /// Adds every pair of Other in order, sharing its value objects.
  void Append(const ISingletonsVector& Other);
  /// The parser's printed form when there is a parser; otherwise "(x y) " per pair.
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }
  int32_t GetHashCode() const;

 private:
  void CopyFrom(const TSingletonsVector& Source);

  int32_t FTag = 0;
  IValueVector FXValues;
  IValueVector FYValues;
  ISingletonsParser* FParser = nullptr;
};

}  // namespace rulecraft
