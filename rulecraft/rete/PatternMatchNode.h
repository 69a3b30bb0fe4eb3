#pragma once
// TPatternMatchNode: a one-input node testing the one fact of a root token (its template, a slot against a
// constant or a call, two slots against each other, a multislot's length or one of its fields), or splitting
// a multislot around a multifield variable.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/rete/ReteNodeBase.h"

namespace rulecraft {

/// What a pattern-match node tests.
enum TPatternMatchTest : uint8_t {
  pmtUnknown,
  pmtTestClassType,
  pmtTestEqual,
  pmtTestNotEqual,
  pmtTestSlotValueEqual,
  pmtTestSlotValueNotEqual,
  pmtTestMultiSlotEqual,
  pmtTestMultiSlotNotEqual,
  pmtTestMultiSlotLength,
  pmtTestMultiSlotMultiField,
  pmtFailTest
};
const TEnumInfo& TPatternMatchTestInfo();

/// One argument of a pattern-match node: a slot name or a number (a field position, a length).
class TNodeArg {
 public:
  TNodeArg(int32_t Value) noexcept : FInteger(Value) {}  // NOLINT: arguments are written as plain lists
  TNodeArg(std::string Value) : FText(std::move(Value)), FIsText(true) {}    // NOLINT
  TNodeArg(const char* Value) : FText(Value ? Value : ""), FIsText(true) {}  // NOLINT

  bool IsText() const noexcept { return FIsText; }
  /// The number; 0 for a text.
  int32_t AsInteger() const noexcept { return FIsText ? 0 : FInteger; }
  /// The text; empty for a number.
  const std::string& AsText() const noexcept { return FText; }
  bool operator==(const TNodeArg& Other) const noexcept {
    return FIsText == Other.FIsText && (FIsText ? FText == Other.FText : FInteger == Other.FInteger);
  }
  /// The text itself, or the number in decimal.
  std::string ToString() const { return FIsText ? FText : std::to_string(FInteger); }

 private:
  std::string FText;
  int32_t FInteger = 0;
  bool FIsText = false;
};
using TNodeArgs = std::vector<TNodeArg>;

class TPatternMatchNode : public TReteNode {
  RC_CLASS(TPatternMatchNode, TReteNode)
 public:
  /// Args by test: class type (0, 0); equal tests (slot, field position or -1); slot-to-slot tests (slot,
  /// other slot, field position, other field position, each -1 for the whole value); length (slot, length);
  /// multifield (slot, position, need, exact, first slot, first position), where the last four may be left
  /// out: the run leaves the slot at least `need` other entries (exactly that many when `exact` is 1), and a
  /// variable already split at the first slot and position repeats that run's length.
  TPatternMatchNode(TReteNetwork* Network, TPatternMatchTest Test, TNodeArgs Args, IIEValue Value);

  const IIEValue& GetValue() const noexcept { return FValue; }
  const TNodeArgs& GetArgs() const noexcept { return FArgs; }
  TPatternMatchTest GetPatternMatchTest() const noexcept { return FTest; }
  /// Same test and arguments, and an equal value when Value is given (node sharing).
  bool Matches(TPatternMatchTest Test, const TNodeArgs& Args, const IIEValue* Value) const;

  bool CallNode(const IReteToken& Token, TCallType CallType) override;
  bool GetEqualityConstant(const std::string*& Slot, const TIEValue*& Value) const override;
  /// The template a class-type test (pmtTestClassType) accepts, with every template that extends it.
  const std::string& GetClassName() const noexcept { return FSlot; }
  /// The node's text, then " Value: " and the value, " Test: " and the test's name, " Args: (...)".
  std::string GetToString() const override;

  using TReteNode::CallChildren;

 protected:
  /// The comparison step: Left and Right compared with Equals (negated when asked); on success the token goes
  /// on, with its strength lowered to the fuzzy degree of the match when one of the values is fuzzy.
  bool CallChildren(const IReteToken& Token, const IIEValue& Left, const IIEValue& Right, bool Negate);

 private:
  bool PassCall(const IReteToken& Token, const IFact& Fact, bool Negate);
  bool SplitMultiField(const IReteToken& Token, TFact& Fact);
  bool IsClassOf(const TFactTemplate* Template) const;

  IIEValue FValue;
  TNodeArgs FArgs;
  TPatternMatchTest FTest;
  bool FValueIsCall = false;
  // The arguments read on every token, taken apart once.
  std::string FSlot;
  std::string FOtherSlot;
  int32_t FIndex = NoSubIndex;
  int32_t FOtherIndex = NoSubIndex;
  // A multifield split: the fewest entries the slot keeps beside the run (exactly that many when FExact),
  // and the place of the run this one repeats (FFirstSlot empty when none).
  int32_t FNeed = 0;
  bool FExact = false;
  std::string FFirstSlot;
  int32_t FFirstIndex = NoSubIndex;
};

}  // namespace rulecraft
