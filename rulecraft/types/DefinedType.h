#pragma once
// TIEDefinedType: a named (deftype) or implicit (one slot's own) value type: the primitive kinds it admits,
// narrowed by allowed-value lists, a numeric range and a multifield cardinality, with units, a comment, an
// ancestor it extends and, for a fuzzy type, a fuzzy variable. Held through IIEDefinedType.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/collections/Cloneable.h"
#include "rulecraft/core/Enums.h"
#include "rulecraft/core/IETypes.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/fuzzyset/FuzzySet.h"

namespace rulecraft {

class IReasoner;
class TIEDefinedType;
using IIEDefinedType = TRef<TIEDefinedType>;

class TIEDefinedType final : public ICloneable {
  RC_CLASS(TIEDefinedType, ICloneable)
 public:
  using TNotifyEvent = std::function<void(TIEDefinedType* Sender)>;

  static constexpr double InitialMaxRange = 2147483647.0;
  static constexpr double InitialMinRange = -2147483648.0;
  static constexpr int32_t InitialMaxCardinality = 2147483647;
  static constexpr int32_t InitialMinCardinality = 0;

  TIEDefinedType();
  explicit TIEDefinedType(const std::string& Name);
  ~TIEDefinedType() override;

  // ICloneable
  using ICloneable::Assign;
  /// Copies every field but the reference count, the change handler and the update counter; the fuzzy
  /// variable is shared. Raises Change once.
  void Assign(const TPersistent* Source) override;
  void Assign(const ICloneableRef& Source) override;
  /// Replaces the lines of a TStringList with the description (the name, then one line per detail, the fuzzy
  /// terms indented), or adds to a TTreeNodes a node with the name holding the details as children. Any other
  /// destination is refused by the framework.
  void AssignTo(TPersistent* Dest) const override;
  ICloneableRef CloneInterface() const override { return Clone(); }
  IIEDefinedType Clone() const;
  /// Same name, base types, limits (flags and bounds), units, implicit flag, ancestor and narrowed
  /// objects and equal constraints (ConstraintsEqual). The very same object is equal to itself.
  bool Equals(const ICloneable* Other) const override;
  int32_t GetTag() const override { return FTag; }
  void SetTag(int32_t Value) override { FTag = Value; }

  const IIEDefinedType& GetAncestor() const noexcept { return FAncestor; }
  /// Walks Type's chain of ancestors; meeting this type raises "Type inheritance loop detected, ..." and
  /// leaves the ancestor as it was. Setting an ancestor on an implicit type clears Implicit.
  void SetAncestor(const IIEDefinedType& Type);
  TIETypes GetBaseTypes() const noexcept { return FBaseTypes; }
  /// A set holding dtFuzzy with anything else raises "Cannot mix fuzzy type with other primitive types".
  void SetBaseTypes(TIETypes Value);
  const std::string& GetComment() const noexcept { return FComment; }
  void SetComment(const std::string& Value);
  const std::string& GetName() const noexcept { return FName; }
  void SetName(const std::string& Value);
  const std::string& GetUnits() const noexcept { return FUnits; }
  void SetUnits(const std::string& Value);
  bool GetImplicit() const noexcept { return FImplicit; }
  void SetImplicit(bool Value);
  /// The named type an implicit copy narrows (a slot's `(type percent)` with limits of its own), or nil. The
  /// copy prints its own clauses and no name; this link lets the engine find the slot when the named type
  /// is removed or redefined.
  const IIEDefinedType& GetNarrowed() const noexcept { return FNarrowed; }
  void SetNarrowed(const IIEDefinedType& Value) { FNarrowed = Value; }
  /// The type itself, or the named type it narrows, is Type.
  bool Uses(const TIEDefinedType* Type) const noexcept {
    return Type && (this == Type || FNarrowed.get() == Type);
  }

  TValueConstraints GetConstraints() const noexcept { return FConstraints; }
  void SetConstraints(TValueConstraints Value);
  /// The allowed-value lists. Reading a list the type does not have raises
  /// "Defined Type %s does not have %s constraints" (name; "Atom", "String", "Integer" or "Float").
  const std::string& GetConstraintAtom(int32_t Index) const;
  int32_t GetConstraintAtomsCount() const noexcept;
  const std::string& GetConstraintString(int32_t Index) const;
  int32_t GetConstraintStringsCount() const noexcept;
  int32_t GetConstraintInteger(int32_t Index) const;
  int32_t GetConstraintIntegersCount() const noexcept;
  double GetConstraintFloat(int32_t Index) const;
  int32_t GetConstraintFloatsCount() const noexcept;
  /// Appends Value to the list of its constraint kind unless already there; a kind not among Constraints
  /// raises "Defined Type %s cannot contain %s constraint types".
  void AddConstraint(const IIEValue& Value);
  void RemoveConstraint(const IIEValue& Value);
  void DeleteConstraint(int32_t Index, TValueConstraint Constraint);
  void ClearConstraints();
  void ClearConstraints(TValueConstraints Which);
  /// True when Value is of a constrained kind and in that kind's list; Constraint receives the kind. A number
  /// is allowed by value: a whole float is also looked up among the allowed integers, an integer among the
  /// allowed floats, when that kind is constrained too (so with 1 and 2.5 allowed, 1.0 is allowed).
  bool IsConstraint(const IIEValue& Value, TValueConstraint& Constraint) const;
  /// The same constraint kinds with lists of the same values in the same order.
  bool ConstraintsEqual(const TIEDefinedType& Other) const;

  /// Each range setter moves the other bound along to keep MinRange <= MaxRange. With a fuzzy variable, the
  /// variable's upper (lower) limit is set first; when the variable refuses it, the type stays as it was.
  double GetMaxRange() const noexcept { return FMaxRange; }
  void SetMaxRange(double Value);
  double GetMinRange() const noexcept { return FMinRange; }
  void SetMinRange(double Value);
  bool GetRangeLimited() const noexcept { return FRangeLimited; }
  void SetRangeLimited(bool Value);
  /// A negative cardinality is stored as 0; each setter moves the other bound along to keep Min <= Max.
  int32_t GetMaxCardinality() const noexcept { return FMaxCardinality; }
  void SetMaxCardinality(int32_t Value);
  int32_t GetMinCardinality() const noexcept { return FMinCardinality; }
  void SetMinCardinality(int32_t Value);
  bool GetCardinalityLimited() const noexcept { return FCardinalityLimited; }
  void SetCardinalityLimited(bool Value);

  /// The fuzzy variable of a fuzzy type (shared with the sets and types that use it), or nil.
  const IFuzzyVariable& GetFuzzyType() const noexcept { return FFuzzyType; }
  void SetFuzzyType(const IFuzzyVariable& Value);

  /// The engine the type belongs to (not owned), or nullptr.
  IReasoner* GetReasoner() const noexcept { return FReasoner; }
  void SetReasoner(IReasoner* Value) noexcept { FReasoner = Value; }

  const TNotifyEvent& GetOnChange() const noexcept { return FOnChange; }
  void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }
  /// Updates nest; leaving the outermost one raises Change once.
  void BeginUpdate() noexcept { ++FUpdateCount; }
  void EndUpdate();

  /// The deftype text (or the constraint clauses of an implicit type), through the reasoner's printer when
  /// the type has one.
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }
  /// The text of one allowed value as the printer writes it (strings quoted, floats with four decimals).
  std::string GetValueToString(const IIEValue& Value) const;

  /// A value that satisfies the type: a list of MinCardinality defaults (or the empty list) when IsList.
  IIEValue CreateValidDefault(bool IsList) const;
  bool IsValid(const IIEValue& Value) const;
  /// The empty text for a valid value, else "Value "%s" is not valid, %s" with the reason.
  std::string GetInvalidValueString(const IIEValue& Value) const;

 private:
  void Change();
  TValueConstraint GetValueConstraint(const TIEValue& Value) const;
  bool IsValidSingle(const TIEValue& Value) const;
  std::string InvalidReason(const TIEValue& Value) const;
  [[noreturn]] void RaiseNoConstraints(const char* Kind) const;
  /// The position of Value in the list of Constraint (compared as that kind), or -1.
  int32_t IndexOfConstraint(TValueConstraint Constraint, const TIEValue& Value) const;
  /// Looks Value up among the allowed values: in the list of its constraint kind (GetValueConstraint; only
  /// when that kind is among Constraints) and, for a number not found there, in the other numeric list
  /// when that kind is among Constraints too. Constraint receives the kind of the list that holds the value,
  /// else the value's constraint kind.
  bool FindConstraint(const TIEValue& Value, TValueConstraint& Constraint, int32_t& Position) const;
  /// True when this type is Type or one of Type's ancestors.
  bool InChainOf(const TIEDefinedType* Type) const noexcept;

  TIETypes FBaseTypes = IESlotTypes;
  std::string FName = "implicit";
  double FMaxRange = InitialMaxRange;
  double FMinRange = InitialMinRange;
  int32_t FMaxCardinality = InitialMaxCardinality;
  int32_t FMinCardinality = InitialMinCardinality;
  IFuzzyVariable FFuzzyType;
  TValueConstraints FConstraints;
  // Allowed-value lists, created when first needed; insertion order, no duplicates.
  std::unique_ptr<std::vector<std::string>> FAtoms;
  std::unique_ptr<std::vector<int32_t>> FIntegers;
  std::unique_ptr<std::vector<std::string>> FStrings;
  std::unique_ptr<std::vector<double>> FFloats;
  IReasoner* FReasoner = nullptr;
  bool FRangeLimited = false;
  bool FCardinalityLimited = false;
  std::string FComment;
  std::string FUnits;
  bool FImplicit = false;
  IIEDefinedType FAncestor;
  IIEDefinedType FNarrowed;
  TNotifyEvent FOnChange;
  int32_t FUpdateCount = 0;
  int32_t FTag = 0;
};

}  // namespace rulecraft
