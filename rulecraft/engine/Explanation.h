#pragma once
// Explaining rules and facts to the people who write them: which facts match each pattern of a rule, how many
// partial matches each join holds and, for a rule without activations, where matching stops and why
// (TRuleMatchReport, made by TInferenceEngine::ExplainMatches); and which firing asserted a fact
// (TFactOrigin, recorded by TInferenceEngine::Assert). Plain data a host reads without parsing text; the
// rule language's matches and why print it.
#include <cstdint>
#include <string>
#include <vector>

#include "rulecraft/facts/Fact.h"

namespace rulecraft {

class TActivation;

/// One pattern of a rule, in the rule's order.
struct TPatternMatches {
  /// The pattern as written: "(order (id ?o))", "(not (paid ?o))", "(test (> ?x 10))".
  std::string Text;
  /// How often it is negated: 0, 1 for not, 2 for exists.
  int32_t NegatedCount = 0;
  /// A test element: it holds no facts of its own.
  bool Test = false;
  /// Members of a negated conjunction (a not or exists of several elements) know its place: the first
  /// member's position and the number of members (0 outside one).
  int32_t GroupFirst = -1;
  int32_t GroupSize = 0;
  /// How often the conjunction is negated: 1 for not, 2 for exists (0 outside one).
  int32_t GroupNegation = 0;
  /// The facts that match the pattern alone (its own tests, before any join), by identifier, ascending.
  std::vector<int32_t> FactIds;
};

/// The join of the patterns 0..Pattern (positions), for Pattern from 1 on: how many partial matches of those
/// patterns it holds (for a negated pattern, those nothing blocks; for a negated conjunction, counted at its
/// last member).
struct TJoinMatches {
  int32_t Pattern = 0;
  int32_t PartialMatches = 0;
};

/// Where matching stops for a rule without activations.
struct TMatchStop {
  /// The position of the pattern (the first member of a negated conjunction) where it stops; -1 when it does
  /// not stop (the rule has activations, or all its matches have fired, or it is disabled: see Reason).
  int32_t Pattern = -1;
  /// The facts of the closest partial match before that pattern, by identifier, in pattern order; empty when
  /// the pattern itself matches no fact.
  std::vector<int32_t> ClosestMatch;
  /// For a person: "no fact with id = 17", "blocked by f-4", "(> ?x 10) failed with ?x = 3", ...
  std::string Reason;
};

/// One alternative of a rule's left-hand side (a rule written with or elements has several).
struct TAlternativeMatches {
  std::vector<TPatternMatches> Patterns;
  std::vector<TJoinMatches> Joins;
  /// The complete matches (fired or not) and the activations on the agenda.
  int32_t Matches = 0;
  int32_t Activations = 0;
  TMatchStop Stop;
};

struct TRuleMatchReport {
  std::string RuleName;
  /// The rule's activations on the agenda, all alternatives together.
  int32_t Activations = 0;
  std::vector<TAlternativeMatches> Alternatives;
};

/// The most partial matches an explanation walks at one pattern.
constexpr int32_t MaxExplainedMatches = 1000000;

/// The record of the firing of Activation, as a fact it asserts keeps it.
IFactOrigin MakeOrigin(const TActivation& Activation);

}  // namespace rulecraft
