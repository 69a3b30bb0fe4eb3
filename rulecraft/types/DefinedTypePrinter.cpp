#include "rulecraft/types/DefinedTypePrinter.h"

#include <cmath>
#include <vector>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/types/DefinedType.h"

namespace rulecraft {

namespace {

/// The type-list keyword that reads back as exactly this kind (alone or with dtInteger, see ParseSlotTypes);
/// nullptr for kinds that no keyword names on its own.
const char* TypeKeyword(TIEType Kind) noexcept {
  switch (Kind) {
    case dtAtom:
      return STypeSymbolKeyword;
    case dtString:
      return STypeStringKeyword;
    case dtInteger:
      return STypeIntegerKeyword;
    case dtFactId:
      return STypeFactIdKeyword;
    case dtFloat:
      return STypeFloatKeyword;
    case dtFact:
      return STypeFactKeyword;
    case dtDescriptor:
      return STypeDescriptorKeyword;
    case dtObject:
      return STypeObjectKeyword;
    case dtClass:
      return STypeClassKeyword;
    case dtExternalAddress:
      return STypeExternalAddrKeyword;
    case dtFuzzy:
      return STypeFuzzyKeyword;
    default:
      return nullptr;
  }
}

void AppendWord(std::string& Text, const std::string& Word) {
  if (!Text.empty()) Text += ' ';
  Text += Word;
}

void AppendKeywords(std::string& Text, TIETypes Kinds) {
  for (int K = 0; K < IETypeCount; ++K)
    if (Kinds.Contains(static_cast<TIEType>(K)))
      if (const char* Word = TypeKeyword(static_cast<TIEType>(K))) AppendWord(Text, Word);
}

/// What "extends (type ...)" lists. The whole single-slot set is written "?VARIABLE", which reads back as
/// exactly that set (listing its kinds one by one would lose the always-valid ones); the always-valid kinds
/// are left out otherwise. With an ancestor, its name stands for its base types and only kinds the ancestor
/// lacks follow it.
std::string ExtendsTypes(const TIEDefinedType& Type) {
  TIETypes Kinds = Type.GetBaseTypes();
  std::string Text;
  if (const IIEDefinedType& Ancestor = Type.GetAncestor()) {
    Text = Ancestor->GetName();
    Kinds = Kinds - Ancestor->GetBaseTypes();
  } else if (IESlotTypes.SubsetOf(Kinds)) {
    Text = STypeVariableKeyword;
    Kinds = Kinds - IESlotTypes;
  }
  AppendKeywords(Text, Kinds - IEAlwaysValidTypes);
  return Text;
}

/// A string value's text form: in double quotes, with '\' and '"' escaped.
std::string Quoted(const std::string& Text) { return TIEValue(Text, dtString).GetToString(); }

/// A range bound as it is: a whole number without decimals, any other number as a float that reads back
/// as the same number (rounding a bound would change what the type allows).
std::string BoundText(double Value) {
  if (Value == std::trunc(Value) && Value >= -9.0e18 && Value <= 9.0e18)
    return std::to_string(static_cast<long long>(Value));
  return FloatToReadBackText(Value);
}

std::string UnitsClause(const std::string& Units) {
  bool Quote = false;
  for (char C : Units)
    if (static_cast<unsigned char>(C) <= ' ') Quote = true;
  return "(units " + (Quote ? Quoted(Units) : Units) + ")";
}

std::string RangeClause(const TIEDefinedType& Type) {
  const double Min = Type.GetMinRange();
  const double Max = Type.GetMaxRange();
  return "(range " +
         (Min == TIEDefinedType::InitialMinRange ? std::string(STypeVariableKeyword) : BoundText(Min)) + " " +
         (Max == TIEDefinedType::InitialMaxRange ? std::string(STypeVariableKeyword) : BoundText(Max)) + ")";
}

std::string CardinalityClause(const TIEDefinedType& Type) {
  const int32_t Min = Type.GetMinCardinality();
  const int32_t Max = Type.GetMaxCardinality();
  return "(cardinality " +
         (Min == TIEDefinedType::InitialMinCardinality ? std::string(STypeVariableKeyword)
                                                       : std::to_string(Min)) +
         " " +
         (Max == TIEDefinedType::InitialMaxCardinality ? std::string(STypeVariableKeyword)
                                                       : std::to_string(Max)) +
         ")";
}

void AppendIntegers(std::string& Values, const TIEDefinedType& Type) {
  for (int32_t I = 0; I < Type.GetConstraintIntegersCount(); ++I)
    AppendWord(Values, std::to_string(Type.GetConstraintInteger(I)));
}

void AppendFloats(std::string& Values, const TIEDefinedType& Type) {
  for (int32_t I = 0; I < Type.GetConstraintFloatsCount(); ++I)
    AppendWord(Values, FloatToReadBackText(Type.GetConstraintFloat(I)));
}

void AppendSymbols(std::string& Values, const TIEDefinedType& Type) {
  for (int32_t I = 0; I < Type.GetConstraintAtomsCount(); ++I) AppendWord(Values, Type.GetConstraintAtom(I));
}

void AppendStrings(std::string& Values, const TIEDefinedType& Type) {
  for (int32_t I = 0; I < Type.GetConstraintStringsCount(); ++I)
    AppendWord(Values, Quoted(Type.GetConstraintString(I)));
}

std::vector<std::string> AllowedClauses(const TIEDefinedType& Type) {
  const TValueConstraints Kinds = Type.GetConstraints();
  const bool Integers = Kinds.Contains(vcInteger);
  const bool Floats = Kinds.Contains(vcFloat);
  const bool Symbols = Kinds.Contains(vcAtom);
  const bool Strings = Kinds.Contains(vcString);
  std::vector<std::string> Clauses;
  std::string Values;
  const auto Add = [&Clauses, &Values](const char* Word) {
    Clauses.push_back(std::string("(") + Word + " " + Values + ")");
    Values.clear();
  };
  if (Integers && Floats && Symbols && Strings) {
    AppendIntegers(Values, Type);
    AppendFloats(Values, Type);
    AppendSymbols(Values, Type);
    AppendStrings(Values, Type);
    Add("allowed-values");
    return Clauses;
  }
  if (Integers && Floats) {
    AppendIntegers(Values, Type);
    AppendFloats(Values, Type);
    Add("allowed-numbers");
  } else if (Integers) {
    AppendIntegers(Values, Type);
    Add("allowed-integers");
  } else if (Floats) {
    AppendFloats(Values, Type);
    Add("allowed-floats");
  }
  if (Symbols && Strings) {
    AppendSymbols(Values, Type);
    AppendStrings(Values, Type);
    Add("allowed-lexemes");
  } else if (Symbols) {
    AppendSymbols(Values, Type);
    Add("allowed-symbols");
  } else if (Strings) {
    AppendStrings(Values, Type);
    Add("allowed-strings");
  }
  return Clauses;
}

/// The clauses of a non-fuzzy type that say something Base does not (Base: the ancestor, or nullptr for a
/// type written on its own), in the order units, range, cardinality, allowed values.
std::vector<std::string> Clauses(const TIEDefinedType& Type, const TIEDefinedType* Base) {
  std::vector<std::string> Result;
  const std::string& Units = Type.GetUnits();
  if (!Units.empty() && (!Base || Units != Base->GetUnits())) Result.push_back(UnitsClause(Units));
  if (Type.GetRangeLimited() &&
      (!Base || !Base->GetRangeLimited() || Type.GetMinRange() != Base->GetMinRange() ||
       Type.GetMaxRange() != Base->GetMaxRange()))
    Result.push_back(RangeClause(Type));
  if (Type.GetCardinalityLimited() &&
      (!Base || !Base->GetCardinalityLimited() || Type.GetMinCardinality() != Base->GetMinCardinality() ||
       Type.GetMaxCardinality() != Base->GetMaxCardinality()))
    Result.push_back(CardinalityClause(Type));
  if (!Type.GetConstraints().Empty() && (!Base || !Type.ConstraintsEqual(*Base)))
    for (std::string& Clause : AllowedClauses(Type)) Result.push_back(std::move(Clause));
  return Result;
}

}  // namespace

std::string PrettyPrintAllowedValues(const TIEDefinedType& Type) {
  const TReadBackText ReadBack;
  std::string Text;
  for (const std::string& Clause : AllowedClauses(Type)) AppendWord(Text, Clause);
  return Text;
}

std::string PrettyPrintFuzzyVariable(const TIFuzzyVariable& Variable) {
  const std::string Indent(IndentString);
  std::string Text =
      Indent + "(range " + Format("%.4f %.4f", {Variable.GetFrom(), Variable.GetTo()}) + ")" + NewLineString;
  if (!Variable.GetUnits().empty()) Text += Indent + UnitsClause(Variable.GetUnits()) + NewLineString;
  Text += Indent + "(values";
  for (int I = 0; I < Variable.GetTermCount(); ++I) {
    const IFuzzySet Term = Variable.GetTerm(I);
    Text += NewLineString + Indent + Indent + "(term " + Term->GetName() + " " + Term->GetShapeText() + ")";
  }
  return Text + ")" + NewLineString;
}

std::string PrettyPrintDefinedType(const TIEDefinedType& Type) {
  const TReadBackText ReadBack;
  const bool Fuzzy = Type.GetBaseTypes().Contains(dtFuzzy);
  if (Type.GetImplicit()) {
    // A slot's own type is written in full: the slot does not name the type's ancestor. A fuzzy slot takes
    // no range, units or allowed values (its fuzzy variable defines them), only a cardinality.
    std::string Text;
    if (Fuzzy) {
      if (Type.GetCardinalityLimited()) Text = " " + CardinalityClause(Type);
    } else {
      for (const std::string& Clause : Clauses(Type, nullptr)) Text += " " + Clause;
    }
    return Text;
  }

  std::string Text = "(deftype " + Type.GetName();
  if (!Type.GetComment().empty())
    Text += NewLineString + std::string(IndentString) + Quoted(Type.GetComment());
  Text +=
      NewLineString + std::string(IndentString) + "extends (type " + ExtendsTypes(Type) + ")" + NewLineString;
  if (Fuzzy) {
    // The body of the type's fuzzy variable: its range, units and terms (its own range, units and allowed
    // values are the variable's).
    if (const TIFuzzyVariable* Variable = Type.GetFuzzyType().get())
      Text += PrettyPrintFuzzyVariable(*Variable);
  } else {
    for (const std::string& Clause : Clauses(Type, Type.GetAncestor().get()))
      Text += IndentString + Clause + NewLineString;
  }
  return Text + ")";
}

}  // namespace rulecraft
