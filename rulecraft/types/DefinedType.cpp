#include "rulecraft/types/DefinedType.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/Reasoner.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/framework/StringList.h"
#include "rulecraft/framework/TreeNodes.h"
#include "rulecraft/types/DefinedTypePrinter.h"

namespace rulecraft {

namespace {

/// The kinds a fuzzy type accepts besides fuzzy values: forms that become, or resolve to, a fuzzy value.
constexpr TIETypes FuzzyFormTypes{dtAtom,  dtString,  dtInteger,    dtVariable,
                                  dtFloat, dtFunCall, dtSingletons, dtMultiVariable};

constexpr bool IsConstraintKind(TIEType Kind) noexcept {
  return Kind == dtAtom || Kind == dtString || Kind == dtInteger || Kind == dtFloat;
}

const char* ConstraintWord(TValueConstraint Constraint) noexcept {
  switch (Constraint) {
    case vcAtom:
      return "Atom";
    case vcString:
      return "String";
    case vcInteger:
      return "Integer";
    default:
      return "Float";
  }
}

/// The kind's member name without its "dt" prefix ("Integer").
std::string KindWord(TIEType Kind) {
  std::string Name = GetIETypeName(Kind);
  return Name.rfind("dt", 0) == 0 ? Name.substr(2) : Name;
}

/// True, with the integer in Result, when Value is a whole number that a 32-bit integer holds exactly.
bool WholeInt32(double Value, int32_t& Result) noexcept {
  if (!(std::trunc(Value) == Value) || Value < -2147483648.0 || Value > 2147483647.0) return false;
  Result = static_cast<int32_t>(Value);
  return true;
}

/// Value rounded to the nearest integer (halves away from zero), held within the 32-bit range; 0 for NaN.
int32_t NearestInt32(double Value) noexcept {
  if (std::isnan(Value)) return 0;
  const double Rounded = std::round(Value);
  if (Rounded <= -2147483648.0) return INT32_MIN;
  if (Rounded >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(Rounded);
}

[[noreturn]] void ListIndexError(int32_t Index) {
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

template <class T>
const T& ListItem(const std::vector<T>& List, int32_t Index) {
  if (Index < 0 || static_cast<size_t>(Index) >= List.size()) ListIndexError(Index);
  return List[static_cast<size_t>(Index)];
}

template <class T>
int32_t ListCount(const std::unique_ptr<std::vector<T>>& List) noexcept {
  return List ? static_cast<int32_t>(List->size()) : 0;
}

template <class T>
int32_t ListIndexOf(const std::unique_ptr<std::vector<T>>& List, const T& Item) {
  if (!List) return -1;
  const auto It = std::find(List->begin(), List->end(), Item);
  return It == List->end() ? -1 : static_cast<int32_t>(It - List->begin());
}

template <class T>
bool ListsEqual(const std::unique_ptr<std::vector<T>>& A, const std::unique_ptr<std::vector<T>>& B) {
  if (ListCount(A) != ListCount(B)) return false;
  return ListCount(A) == 0 || *A == *B;
}

template <class T>
std::unique_ptr<std::vector<T>> CopyList(const std::unique_ptr<std::vector<T>>& List) {
  return List ? std::make_unique<std::vector<T>>(*List) : nullptr;
}

/// Empties a list; true when it held something.
template <class T>
bool EmptyList(const std::unique_ptr<std::vector<T>>& List) noexcept {
  if (!List || List->empty()) return false;
  List->clear();
  return true;
}

template <class T>
bool AppendUnique(std::unique_ptr<std::vector<T>>& List, const T& Item) {
  if (!List) List = std::make_unique<std::vector<T>>();
  if (std::find(List->begin(), List->end(), Item) != List->end()) return false;
  List->push_back(Item);
  return true;
}

}  // namespace

// ---- construction and copying -----------------------------------------------------------------------------

TIEDefinedType::TIEDefinedType() = default;

TIEDefinedType::TIEDefinedType(const std::string& Name) : FName(Name) {}

TIEDefinedType::~TIEDefinedType() = default;

void TIEDefinedType::Assign(const TPersistent* Source) {
  const auto* Other = dynamic_cast<const TIEDefinedType*>(Source);
  if (!Other) {
    TPersistent::Assign(Source);  // refuses
    return;
  }
  if (Other != this) {
    // Taking the source's ancestor must not close a loop through this type.
    if (Other->FAncestor && InChainOf(Other->FAncestor.get()))
      throw EIEException(STypeInheritanceLoop, {FName});
    // Copy everything first: releasing this type's old ancestor may free the source.
    std::string Name = Other->FName;
    std::string Comment = Other->FComment;
    std::string Units = Other->FUnits;
    auto Atoms = CopyList(Other->FAtoms);
    auto Integers = CopyList(Other->FIntegers);
    auto Strings = CopyList(Other->FStrings);
    auto Floats = CopyList(Other->FFloats);
    IFuzzyVariable FuzzyType = Other->FFuzzyType;
    IIEDefinedType Ancestor = Other->FAncestor;
    IIEDefinedType Narrowed = Other->FNarrowed;
    FBaseTypes = Other->FBaseTypes;
    FMaxRange = Other->FMaxRange;
    FMinRange = Other->FMinRange;
    FMaxCardinality = Other->FMaxCardinality;
    FMinCardinality = Other->FMinCardinality;
    FConstraints = Other->FConstraints;
    FReasoner = Other->FReasoner;
    FRangeLimited = Other->FRangeLimited;
    FCardinalityLimited = Other->FCardinalityLimited;
    FImplicit = Other->FImplicit;
    FTag = Other->FTag;
    FName = std::move(Name);
    FComment = std::move(Comment);
    FUnits = std::move(Units);
    FAtoms = std::move(Atoms);
    FIntegers = std::move(Integers);
    FStrings = std::move(Strings);
    FFloats = std::move(Floats);
    FFuzzyType = std::move(FuzzyType);
    FNarrowed = std::move(Narrowed);
    FAncestor = std::move(Ancestor);  // last: may free Other
  }
  Change();
}

void TIEDefinedType::Assign(const ICloneableRef& Source) {
  if (!dynamic_cast<const TIEDefinedType*>(Source.get())) throw EConvertError("Interface not supported");
  Assign(static_cast<const TPersistent*>(Source.get()));
}

void TIEDefinedType::AssignTo(TPersistent* Dest) const {
  auto* Lines = dynamic_cast<TStringList*>(Dest);
  auto* Nodes = dynamic_cast<TTreeNodes*>(Dest);
  if (!Lines && !Nodes) {
    TPersistent::AssignTo(Dest);  // refuses
    return;
  }
  std::vector<std::string> Details;
  if (FAncestor) Details.push_back("Ancestor Type: " + FAncestor->GetName());
  Details.push_back("Primitive Types: " + SetToString(FBaseTypes, ", ", false));
  if (!FComment.empty()) Details.push_back("Comment: " + FComment);
  if (!FUnits.empty()) Details.push_back("Units: " + FUnits);
  if (FCardinalityLimited)
    Details.push_back("Cardinality: " + std::to_string(FMinCardinality) + "-" +
                      std::to_string(FMaxCardinality));
  if (FRangeLimited) Details.push_back("Range: " + Format("%.4f-%.4f", {FMinRange, FMaxRange}));
  if (!FConstraints.Empty()) Details.push_back("Allowed: " + PrettyPrintAllowedValues(*this));
  std::vector<std::string> Terms;
  if (FFuzzyType)
    for (int I = 0; I < FFuzzyType->GetTermCount(); ++I) Terms.push_back(FFuzzyType->GetTerm(I)->GetName());

  if (Lines) {
    // The name, the details, then one indented line per fuzzy term.
    Lines->Clear();
    Lines->Add(FName);
    for (const std::string& Line : Details) Lines->Add(Line);
    if (FFuzzyType) {
      Lines->Add("Fuzzy Terms: ");
      for (const std::string& Term : Terms) Lines->Add(IndentString + Term);
    }
    return;
  }
  TTreeNode* Node = Nodes->Add(FName);
  for (const std::string& Line : Details) Node->AddChild(Line);
  if (FFuzzyType) {
    TTreeNode* TermsNode = Node->AddChild("Fuzzy Terms: ");
    for (const std::string& Term : Terms) TermsNode->AddChild(Term);
  }
}

IIEDefinedType TIEDefinedType::Clone() const {
  IIEDefinedType Copy = MakeRef<TIEDefinedType>();
  Copy->Assign(static_cast<const TPersistent*>(this));
  return Copy;
}

namespace {

// Two fuzzy variables define the same universe and terms: limits, units, and term by term the name and the
// points, compared to the four decimals the printer writes them with, so that a printed type read back
// equals its original.
bool SameFuzzyVariable(const TIFuzzyVariable* A, const TIFuzzyVariable* B) {
  if (A == B) return true;
  if (!A || !B) return false;
  constexpr double Tolerance = 0.5e-4;
  auto Near = [](double X, double Y) { return std::fabs(X - Y) <= Tolerance * std::max(1.0, std::fabs(X)); };
  if (!Near(A->GetFrom(), B->GetFrom()) || !Near(A->GetTo(), B->GetTo()) || A->GetUnits() != B->GetUnits() ||
      A->GetTermCount() != B->GetTermCount())
    return false;
  for (int I = 0; I < A->GetTermCount(); ++I) {
    const IFuzzySet TermA = A->GetTerm(I), TermB = B->GetTerm(I);
    if (TermA->GetName() != TermB->GetName() || TermA->GetCount() != TermB->GetCount()) return false;
    for (int P = 0; P < TermA->GetCount(); ++P)
      if (!Near(TermA->GetX(P), TermB->GetX(P)) || !Near(TermA->GetY(P), TermB->GetY(P))) return false;
  }
  return true;
}

}  // namespace

bool TIEDefinedType::Equals(const ICloneable* Other) const {
  if (Other == this) return true;
  const auto* Type = dynamic_cast<const TIEDefinedType*>(Other);
  return Type && FName == Type->FName && FBaseTypes == Type->FBaseTypes &&
         FRangeLimited == Type->FRangeLimited && FMinRange == Type->FMinRange &&
         FMaxRange == Type->FMaxRange && FCardinalityLimited == Type->FCardinalityLimited &&
         FMinCardinality == Type->FMinCardinality && FMaxCardinality == Type->FMaxCardinality &&
         FUnits == Type->FUnits && FImplicit == Type->FImplicit && FAncestor == Type->FAncestor &&
         FNarrowed == Type->FNarrowed && ConstraintsEqual(*Type) &&
         SameFuzzyVariable(FFuzzyType.get(), Type->FFuzzyType.get());
}

// ---- plain properties -------------------------------------------------------------------------------------

bool TIEDefinedType::InChainOf(const TIEDefinedType* Type) const noexcept {
  // Ancestor chains never loop (SetAncestor and Assign refuse to close one), so the walk ends.
  for (const TIEDefinedType* T = Type; T != nullptr; T = T->FAncestor.get())
    if (T == this) return true;
  return false;
}

void TIEDefinedType::SetAncestor(const IIEDefinedType& Type) {
  if (InChainOf(Type.get())) throw EIEException(STypeInheritanceLoop, {FName});
  const bool ClearImplicit = Type && FImplicit;
  if (Type == FAncestor && !ClearImplicit) return;
  FAncestor = Type;
  if (ClearImplicit) FImplicit = false;
  Change();
}

void TIEDefinedType::SetBaseTypes(TIETypes Value) {
  if (Value.Contains(dtFuzzy) && !(Value - TIETypes{dtFuzzy}).Empty())
    throw EIEException(SCannotMixFuzzy, {});
  if (Value == FBaseTypes) return;
  FBaseTypes = Value;
  Change();
}

void TIEDefinedType::SetComment(const std::string& Value) {
  if (Value == FComment) return;
  FComment = Value;
  Change();
}

void TIEDefinedType::SetName(const std::string& Value) {
  if (Value == FName) return;
  FName = Value;
  Change();
}

void TIEDefinedType::SetUnits(const std::string& Value) {
  if (Value == FUnits) return;
  FUnits = Value;
  Change();
}

void TIEDefinedType::SetImplicit(bool Value) {
  if (Value == FImplicit) return;
  FImplicit = Value;
  Change();
}

void TIEDefinedType::SetFuzzyType(const IFuzzyVariable& Value) {
  if (Value == FFuzzyType) return;
  FFuzzyType = Value;
  Change();
}

// ---- limits -----------------------------------------------------------------------------------------------

void TIEDefinedType::SetMaxRange(double Value) {
  // The fuzzy variable goes first: when it refuses the limit, nothing has changed here.
  if (FFuzzyType) FFuzzyType->SetTo(Value);
  if (Value == FMaxRange) return;
  FMaxRange = Value;
  if (FMaxRange < FMinRange) FMinRange = FMaxRange;
  Change();
}

void TIEDefinedType::SetMinRange(double Value) {
  if (FFuzzyType) FFuzzyType->SetFrom(Value);
  if (Value == FMinRange) return;
  FMinRange = Value;
  if (FMinRange > FMaxRange) FMaxRange = FMinRange;
  Change();
}

void TIEDefinedType::SetRangeLimited(bool Value) {
  if (Value == FRangeLimited) return;
  FRangeLimited = Value;
  Change();
}

void TIEDefinedType::SetMaxCardinality(int32_t Value) {
  if (Value < 0) Value = 0;
  if (Value == FMaxCardinality) return;
  FMaxCardinality = Value;
  if (FMaxCardinality < FMinCardinality) FMinCardinality = FMaxCardinality;
  Change();
}

void TIEDefinedType::SetMinCardinality(int32_t Value) {
  if (Value < 0) Value = 0;
  if (Value == FMinCardinality) return;
  FMinCardinality = Value;
  if (FMinCardinality > FMaxCardinality) FMaxCardinality = FMinCardinality;
  Change();
}

void TIEDefinedType::SetCardinalityLimited(bool Value) {
  if (Value == FCardinalityLimited) return;
  FCardinalityLimited = Value;
  Change();
}

// ---- allowed values ---------------------------------------------------------------------------------------

void TIEDefinedType::RaiseNoConstraints(const char* Kind) const {
  throw EIEException(SNoSuchConstraint, {FName, Kind});
}

void TIEDefinedType::SetConstraints(TValueConstraints Value) {
  if (Value == FConstraints) return;
  FConstraints = Value;
  Change();
}

const std::string& TIEDefinedType::GetConstraintAtom(int32_t Index) const {
  if (!FAtoms) RaiseNoConstraints(ConstraintWord(vcAtom));
  return ListItem(*FAtoms, Index);
}

int32_t TIEDefinedType::GetConstraintAtomsCount() const noexcept { return ListCount(FAtoms); }

const std::string& TIEDefinedType::GetConstraintString(int32_t Index) const {
  if (!FStrings) RaiseNoConstraints(ConstraintWord(vcString));
  return ListItem(*FStrings, Index);
}

int32_t TIEDefinedType::GetConstraintStringsCount() const noexcept { return ListCount(FStrings); }

int32_t TIEDefinedType::GetConstraintInteger(int32_t Index) const {
  if (!FIntegers) RaiseNoConstraints(ConstraintWord(vcInteger));
  return ListItem(*FIntegers, Index);
}

int32_t TIEDefinedType::GetConstraintIntegersCount() const noexcept { return ListCount(FIntegers); }

double TIEDefinedType::GetConstraintFloat(int32_t Index) const {
  if (!FFloats) RaiseNoConstraints(ConstraintWord(vcFloat));
  return ListItem(*FFloats, Index);
}

int32_t TIEDefinedType::GetConstraintFloatsCount() const noexcept { return ListCount(FFloats); }

TValueConstraint TIEDefinedType::GetValueConstraint(const TIEValue& Value) const {
  TValueConstraint Result;
  switch (Value.GetDType()) {
    case dtAtom:
      Result = vcAtom;
      break;
    case dtString:
      Result = vcString;
      break;
    case dtInteger:
      Result = vcInteger;
      break;
    case dtFloat:
      Result = vcFloat;
      break;
    default:
      throw EIEException(SInvalidConstraint, {FName, KindWord(Value.GetDType())});
  }
  if (!FConstraints.Contains(Result)) {
    int32_t Whole = 0;
    if (Result == vcInteger && FConstraints.Contains(vcFloat))
      Result = vcFloat;
    else if (Result == vcFloat && FConstraints.Contains(vcInteger) && WholeInt32(Value.GetAsFloat(), Whole))
      Result = vcInteger;
  }
  return Result;
}

int32_t TIEDefinedType::IndexOfConstraint(TValueConstraint Constraint, const TIEValue& Value) const {
  switch (Constraint) {
    case vcAtom:
      return Value.GetDType() == dtAtom || Value.GetDType() == dtString ? ListIndexOf(FAtoms, Value.Text())
                                                                        : -1;
    case vcString:
      return Value.GetDType() == dtAtom || Value.GetDType() == dtString ? ListIndexOf(FStrings, Value.Text())
                                                                        : -1;
    case vcInteger: {
      int32_t Number = 0;
      if (Value.GetDType() == dtInteger)
        Number = Value.GetAsInteger();
      else if (Value.GetDType() != dtFloat || !WholeInt32(Value.GetAsFloat(), Number))
        return -1;
      return ListIndexOf(FIntegers, Number);
    }
    default:
      return Value.GetDType() == dtInteger || Value.GetDType() == dtFloat
                 ? ListIndexOf(FFloats, Value.GetAsFloat())
                 : -1;
  }
}

bool TIEDefinedType::FindConstraint(const TIEValue& Value, TValueConstraint& Constraint,
                                    int32_t& Position) const {
  Constraint = GetValueConstraint(Value);
  Position = -1;
  if (!FConstraints.Contains(Constraint)) return false;
  Position = IndexOfConstraint(Constraint, Value);
  if (Position >= 0) return true;
  // A number is allowed by value: 1.0 is found among the allowed integers, 2 among the allowed floats.
  const TValueConstraint Other = Constraint == vcInteger ? vcFloat
                                 : Constraint == vcFloat ? vcInteger
                                                         : Constraint;
  if (Other != Constraint && FConstraints.Contains(Other)) {
    Position = IndexOfConstraint(Other, Value);
    if (Position >= 0) {
      Constraint = Other;
      return true;
    }
  }
  return false;
}

bool TIEDefinedType::IsConstraint(const IIEValue& Value, TValueConstraint& Constraint) const {
  if (!Value || !IsConstraintKind(Value->GetDType())) return false;
  int32_t Position = -1;
  return FindConstraint(*Value, Constraint, Position);
}

void TIEDefinedType::AddConstraint(const IIEValue& Value) {
  if (!Value) return;
  const TValueConstraint Constraint = GetValueConstraint(*Value);
  if (!FConstraints.Contains(Constraint))
    throw EIEException(SInvalidConstraint, {FName, KindWord(Value->GetDType())});
  bool Added = false;
  switch (Constraint) {
    case vcAtom:
      Added = AppendUnique(FAtoms, Value->Text());
      break;
    case vcString:
      Added = AppendUnique(FStrings, Value->Text());
      break;
    case vcInteger: {
      int32_t Number = 0;
      if (Value->GetDType() == dtInteger)
        Number = Value->GetAsInteger();
      else
        WholeInt32(Value->GetAsFloat(), Number);  // classed vcInteger only when whole and in range
      Added = AppendUnique(FIntegers, Number);
      break;
    }
    case vcFloat:
      Added = AppendUnique(FFloats, Value->GetAsFloat());
      break;
  }
  if (Added) Change();
}

void TIEDefinedType::RemoveConstraint(const IIEValue& Value) {
  if (!Value) return;
  TValueConstraint Constraint;
  int32_t Position = -1;
  if (!FindConstraint(*Value, Constraint, Position)) return;
  DeleteConstraint(Position, Constraint);
}

void TIEDefinedType::DeleteConstraint(int32_t Index, TValueConstraint Constraint) {
  const auto Erase = [this, Index, Constraint](auto& List) {
    if (!List) RaiseNoConstraints(ConstraintWord(Constraint));
    ListItem(*List, Index);  // checks the index
    List->erase(List->begin() + Index);
  };
  switch (Constraint) {
    case vcAtom:
      Erase(FAtoms);
      break;
    case vcString:
      Erase(FStrings);
      break;
    case vcInteger:
      Erase(FIntegers);
      break;
    case vcFloat:
      Erase(FFloats);
      break;
  }
  Change();
}

void TIEDefinedType::ClearConstraints() {
  ClearConstraints(TValueConstraints{vcAtom, vcString, vcInteger, vcFloat});
}

void TIEDefinedType::ClearConstraints(TValueConstraints Which) {
  bool Changed = false;
  if (Which.Contains(vcAtom)) Changed |= EmptyList(FAtoms);
  if (Which.Contains(vcString)) Changed |= EmptyList(FStrings);
  if (Which.Contains(vcInteger)) Changed |= EmptyList(FIntegers);
  if (Which.Contains(vcFloat)) Changed |= EmptyList(FFloats);
  if (Changed) Change();
}

bool TIEDefinedType::ConstraintsEqual(const TIEDefinedType& Other) const {
  if (FConstraints != Other.FConstraints) return false;
  return (!FConstraints.Contains(vcAtom) || ListsEqual(FAtoms, Other.FAtoms)) &&
         (!FConstraints.Contains(vcString) || ListsEqual(FStrings, Other.FStrings)) &&
         (!FConstraints.Contains(vcInteger) || ListsEqual(FIntegers, Other.FIntegers)) &&
         (!FConstraints.Contains(vcFloat) || ListsEqual(FFloats, Other.FFloats));
}

// ---- change notification ----------------------------------------------------------------------------------

void TIEDefinedType::Change() {
  if (FUpdateCount > 0 || !FOnChange) return;
  const TNotifyEvent Handler = FOnChange;  // the handler may replace itself
  Handler(this);
}

void TIEDefinedType::EndUpdate() {
  if (FUpdateCount <= 0) return;
  if (--FUpdateCount == 0) Change();
}

// ---- text -------------------------------------------------------------------------------------------------

std::string TIEDefinedType::GetToString() const {
  if (FReasoner) return FReasoner->PrettyPrint(*this);
  return PrettyPrintDefinedType(*this);
}

std::string TIEDefinedType::GetValueToString(const IIEValue& Value) const {
  // A value's own text form already writes strings in double quotes and floats with four decimals.
  return Value ? Value->GetToString() : std::string();
}

// ---- validity and defaults --------------------------------------------------------------------------------

IIEValue TIEDefinedType::CreateValidDefault(bool IsList) const {
  if (IsList) {
    IValueVector List = MakeRef<TValueVector>();
    if (FCardinalityLimited && FMinCardinality > 0) {
      List->Reserve(FMinCardinality);
      for (int32_t I = 0; I < FMinCardinality; ++I) List->Add(CreateValidDefault(false));
    }
    return MakeRef<TIEValue>(List);
  }
  const bool MinSet = FMinRange != InitialMinRange;
  const bool MaxSet = FMaxRange != InitialMaxRange;
  if (FBaseTypes.Contains(dtAtom))
    return MakeRef<TIEValue>(
        FConstraints.Contains(vcAtom) && ListCount(FAtoms) > 0 ? FAtoms->front() : std::string(), dtAtom);
  if (FBaseTypes.Contains(dtString))
    return MakeRef<TIEValue>(
        FConstraints.Contains(vcString) && ListCount(FStrings) > 0 ? FStrings->front() : std::string(),
        dtString);
  if (FBaseTypes.Contains(dtInteger)) {
    int32_t Number = 0;
    if (FConstraints.Contains(vcInteger) && ListCount(FIntegers) > 0)
      Number = FIntegers->front();
    else if (FRangeLimited && MinSet)
      Number = NearestInt32(FMinRange);
    else if (FRangeLimited && MaxSet)
      Number = NearestInt32(FMaxRange);
    return MakeRef<TIEValue>(Number, dtInteger);
  }
  if (FBaseTypes.Contains(dtFloat)) {
    double Number = 0.0;
    if (FConstraints.Contains(vcFloat) && ListCount(FFloats) > 0)
      Number = FFloats->front();
    else if (FRangeLimited && MinSet)
      Number = FMinRange;
    else if (FRangeLimited && MaxSet)
      Number = FMaxRange;
    return MakeRef<TIEValue>(Number);
  }
  if (FBaseTypes.Contains(dtObject)) return MakeRef<TIEValue>(static_cast<TObject*>(nullptr), false);
  if (FBaseTypes.Contains(dtExternalAddress)) return MakeRef<TIEValue>(static_cast<void*>(nullptr));
  if (FBaseTypes.Contains(dtFuzzy))
    return FFuzzyType ? MakeRef<TIEValue>(FFuzzyType->FindFuzzySet(SFuzzyEmptySet)) : FCNil;
  if (FBaseTypes.Contains(dtFactId)) return MakeRef<TIEValue>(0, dtFactId);
  if (FBaseTypes.Contains(dtFact)) return MakeRef<TIEValue>(TRef<TFactBase>());
  if (FBaseTypes.Contains(dtDescriptor)) return MakeRef<TIEValue>(0, dtDescriptor);
  if (FBaseTypes.Contains(dtClass)) return MakeRef<TIEValue>(static_cast<TClass>(nullptr));
  // Only kinds that are always valid (or none): the empty value, which every non-fuzzy type accepts.
  return MakeRef<TIEValue>();
}

bool TIEDefinedType::IsValid(const IIEValue& Value) const {
  if (!Value) return true;
  if (Value->GetDType() != dtList) return IsValidSingle(*Value);
  const IValueVector List = Value->GetAsList();
  const int32_t Count = List ? List->GetValueCount() : 0;
  if (FCardinalityLimited && (Count < FMinCardinality || Count > FMaxCardinality)) return false;
  if (List)
    for (const IIEValue& Element : *List)
      if (!IsValid(Element)) return false;
  return true;
}

bool TIEDefinedType::IsValidSingle(const TIEValue& Value) const {
  const TIEType Kind = Value.GetDType();
  if (FBaseTypes.Contains(dtFuzzy)) {
    if (Kind != dtFuzzy) return FuzzyFormTypes.Contains(Kind);
    const IFuzzySet Set = Value.GetAsFuzzy();
    return FFuzzyType && Set && Set->GetVariable() == FFuzzyType.get();
  }
  if (!FBaseTypes.Contains(Kind) && !IEAlwaysValidTypes.Contains(Kind)) return false;
  if (!IsConstraintKind(Kind)) return true;
  TValueConstraint Constraint;
  int32_t Position = -1;
  if (!FindConstraint(Value, Constraint, Position) && FConstraints.Contains(Constraint)) return false;
  if (FRangeLimited && (Kind == dtInteger || Kind == dtFloat)) {
    const double Number = Value.GetAsFloat();
    if (!(FMinRange <= Number && Number <= FMaxRange)) return false;
  }
  return true;
}

std::string TIEDefinedType::InvalidReason(const TIEValue& Value) const {
  if (IsValidSingle(Value)) return std::string();
  const TIEType Kind = Value.GetDType();
  if (FBaseTypes.Contains(dtFuzzy)) return SInvalidFuzzyValue;
  if (!FBaseTypes.Contains(Kind) && !IEAlwaysValidTypes.Contains(Kind))
    return Format(SNotCorrectType, {UpperCase(SetToString(FBaseTypes, ", ", false)), Value.GetToString(),
                                    GetIETypeName(Kind)});
  TValueConstraint Constraint;
  int32_t Position = -1;
  if (!FindConstraint(Value, Constraint, Position) && FConstraints.Contains(Constraint))
    return SNotAllowedValue;
  return Format(SOutOfRangeError, {FMinRange, FMaxRange});
}

std::string TIEDefinedType::GetInvalidValueString(const IIEValue& Value) const {
  if (!Value) return std::string();
  if (Value->GetDType() == dtList) {
    const IValueVector List = Value->GetAsList();
    const int32_t Count = List ? List->GetValueCount() : 0;
    if (FCardinalityLimited && (Count < FMinCardinality || Count > FMaxCardinality))
      return Format(SInvalidValue, {Value->GetToString(),
                                    Format(SListCardinalityError, {FMinCardinality, FMaxCardinality})});
    if (List)
      for (const IIEValue& Element : *List) {
        std::string Text = GetInvalidValueString(Element);
        if (!Text.empty()) return Text;
      }
    return std::string();
  }
  const std::string Reason = InvalidReason(*Value);
  return Reason.empty() ? Reason : Format(SInvalidValue, {Value->GetToString(), Reason});
}

}  // namespace rulecraft
