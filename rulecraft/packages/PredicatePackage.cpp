#include "rulecraft/packages/PredicatePackage.h"

#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/functions/FunctionCall.h"
#include "rulecraft/packages/PackageHelpers.h"

namespace rulecraft {

namespace {

/// The function classes are known by name from the moment the library is loaded.
[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class :
       {TEvenPFunction::StaticClass(), TOddPFunction::StaticClass(), TGetValueTypeFunction::StaticClass(),
        TVerifyTypePFunction::StaticClass(), TPredicatePackage::StaticClass()})
    RegisterClass(Class);
  return true;
}();

}  // namespace

// ---- evenp, oddp, get-type -------------------------------------------------------------------------------

TEvenPFunction::TEvenPFunction()
    : TIEUserFunction("evenp", 1, 1,
                      FunctionComment("Returns TRUE if the argument is an even integer, FALSE otherwise"),
                      SNumericArgument) {}

void TEvenPFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = ResolveArgument(FunCall, 0, Context)->GetAsInteger() % 2 == 0 ? FCTrue : FCFalse;
}

TOddPFunction::TOddPFunction()
    : TIEUserFunction("oddp", 1, 1,
                      FunctionComment("Returns TRUE if the argument is an odd integer, FALSE otherwise"),
                      SNumericArgument) {}

void TOddPFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = ResolveArgument(FunCall, 0, Context)->GetAsInteger() % 2 != 0 ? FCTrue : FCFalse;
}

TGetValueTypeFunction::TGetValueTypeFunction()
    : TIEUserFunction("get-type", 1, 1, FunctionComment("Returns the type of the argument"),
                      " <expression> ") {}

void TGetValueTypeFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = MakeRef<TIEValue>(GetIETypeName(ResolveArgument(FunCall, 0, Context)->GetDType()), dtAtom);
}

// ---- type predicates -------------------------------------------------------------------------------------

TVerifyTypePFunction::TVerifyTypePFunction() : TIEUserFunction(std::string(), 1, 1) { DescribeKinds(); }

TVerifyTypePFunction::TVerifyTypePFunction(const TIEName& Name, TIETypes Kinds)
    : TIEUserFunction(Name, 1, 1), FKinds(Kinds) {
  DescribeKinds();
}

void TVerifyTypePFunction::DescribeKinds() {
  const std::string Names = FKinds.Empty() ? std::string("NONE") : SetToString(FKinds, ", ", false);
  SetComment(FunctionComment(Format(SVerifyTypeComment, {Names})));
  SetArgumentString(" <expression>");
}

void TVerifyTypePFunction::SetKinds(TIETypes Kinds) {
  FKinds = Kinds;
  DescribeKinds();
}

void TVerifyTypePFunction::SetFunctionName(const TIEName& Value) {
  DescribeKinds();
  TIEUserFunction::SetFunctionName(Value);
}

void TVerifyTypePFunction::Assign(const TPersistent* Source) {
  // The set first, so that the name arriving through SetFunctionName describes the copied set.
  if (const auto* Other = dynamic_cast<const TVerifyTypePFunction*>(Source)) FKinds = Other->FKinds;
  TIEUserFunction::Assign(Source);
}

void TVerifyTypePFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = FKinds.Contains(ResolveArgument(FunCall, 0, Context)->GetDType()) ? FCTrue : FCFalse;
}

// ---- the package -----------------------------------------------------------------------------------------

void TPredicatePackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  TUserFunctionList& List = GetFunctions();
  List.Add(MakeRef<TEvenPFunction>());
  List.Add(MakeRef<TOddPFunction>());
  List.Add(MakeRef<TGetValueTypeFunction>());
  struct TPredicate {
    const char* Name;
    TIETypes Kinds;
  };
  static const TPredicate Predicates[] = {
      {"lexemep", {dtAtom, dtString}},
      {"numberp", {dtInteger, dtFloat}},
      {"floatp", {dtFloat}},
      {"fuzzyp", {dtFuzzy}},
      {"integerp", {dtInteger}},
      {"stringp", {dtString}},
      {"symbolp", {dtAtom}},
      {"multifieldp", {dtList}},
      {"external-addressp", {dtExternalAddress}},
      {"objectp", {dtObject}},
  };
  for (const TPredicate& P : Predicates) List.Add(MakeRef<TVerifyTypePFunction>(P.Name, P.Kinds));
}

}  // namespace rulecraft
