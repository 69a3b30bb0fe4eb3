#pragma once
// TFactSet: a named list of facts (deffacts) that the engine asserts anew at every reset. Each fact is kept
// as text and, while the set belongs to an engine, as a parsed fact object, so a set can be saved as text and
// moved between engines by parsing its lines again.
#include <cstdint>
#include <string>
#include <vector>

#include "rulecraft/facts/Fact.h"
#include "rulecraft/framework/Component.h"

namespace rulecraft {

class TInferenceEngine;
class TStringList;

class TFactSet : public TComponent {
  RC_CLASS(TFactSet, TComponent)
 public:
  /// Named "FactSet"; an owner that is an engine becomes the set's engine (and the set joins its collection).
  explicit TFactSet(TComponent* AOwner);
  ~TFactSet() override;

  const std::string& GetComment() const noexcept { return FComment; }
  void SetComment(const std::string& Value) { FComment = Value; }
  const std::string& GetFactSetName() const noexcept { return FFactSetName; }
  void SetFactSetName(const std::string& Value) { FFactSetName = Value; }
  TInferenceEngine* GetEngine() const noexcept { return FEngine; }
  /// Joins Engine's fact-set collection (leaving the old one's) and parses every line anew there; without
  /// an engine every line loses its fact.
  void SetEngine(TInferenceEngine* Engine);
  /// Changes the engine without parsing: leaves the old collection, moves the free notification.
  void SetEngineNoParse(TInferenceEngine* Engine);

  int32_t Count() const noexcept { return static_cast<int32_t>(FLines.size()); }
  /// Appends the fact's text and attaches the fact; returns the line's index.
  int32_t AddFact(const IFact& Fact);
  /// The attached fact; a line without one is parsed by the engine first (nil without an engine).
  IFact GetFact(int32_t Index);
  void SetFact(int32_t Index, const IFact& Fact);
  /// The fact attached to line Index, nil when there is none (nothing is parsed).
  const IFact& GetAttachedFact(int32_t Index) const;
  /// The text of line Index.
  const std::string& GetLine(int32_t Index) const;
  /// The line whose attached fact is this very fact, or -1.
  int32_t IndexOf(const IFact& Fact) const;
  /// Deletes the line of this fact when there is one.
  void Remove(const IFact& Fact);
  void Delete(int32_t Index);
  /// Replaces the lines; with an engine each line is parsed and its fact attached.
  void SetFacts(const TStringList& Lines);
  /// The lines' texts.
  void GetFacts(TStringList& Lines) const;

  /// With an engine: asserts a resolved clone of each line's fact in order; a line that cannot be parsed or
  /// cloned is skipped silently. The stored facts themselves are never asserted.
  void Reset();
  /// Copies the comment and name and replaces the facts (parsed by this set's engine when its owner is an
  /// engine, cloned otherwise).
  void Assign(const TPersistent* Source) override;
  /// The deffacts text, through the engine's printer when there is one.
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TFactSets;
  struct TLine {
    std::string Text;
    IFact Fact;
  };
  void CheckIndex(int32_t Index) const;
  /// Parses every line with the engine and attaches the facts (none without an engine).
  void ParseLines();

  std::string FComment;
  std::string FFactSetName = "FactSet";
  TInferenceEngine* FEngine = nullptr;
  std::vector<TLine> FLines;
};

/// The deffacts text: "(deffacts " name, the comment in quotes, then one indented line per fact, then ")".
std::string PrettyPrintFactSet(const TFactSet& FactSet);

}  // namespace rulecraft
