#pragma once
// The predicate package: the kind of a value as a symbol, the parity tests and the type predicates. Every
// predicate answers the shared TRUE or FALSE value.
#include <string>

#include "rulecraft/core/IETypes.h"
#include "rulecraft/functions/UserFunction.h"
#include "rulecraft/functions/UserPackage.h"

namespace rulecraft {

/// (evenp <numeric-expression>): TRUE when the argument's integer reading is even.
class TEvenPFunction final : public TIEUserFunction {
  RC_CLASS(TEvenPFunction, TIEUserFunction)
 public:
  TEvenPFunction();

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override;
};

/// (oddp <numeric-expression>): TRUE when the argument's integer reading is odd.
class TOddPFunction final : public TIEUserFunction {
  RC_CLASS(TOddPFunction, TIEUserFunction)
 public:
  TOddPFunction();

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override;
};

/// (get-type <expression>): the member name of the argument's kind as a symbol ("dtInteger").
class TGetValueTypeFunction final : public TIEUserFunction {
  RC_CLASS(TGetValueTypeFunction, TIEUserFunction)
 public:
  TGetValueTypeFunction();

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override;
};

/// One class for every type predicate: TRUE when the evaluated argument's kind is in the instance's set.
/// Receiving a name rebuilds the help text from the set.
class TVerifyTypePFunction final : public TIEUserFunction {
  RC_CLASS(TVerifyTypePFunction, TIEUserFunction)
 public:
  /// No name and no kinds: for re-creation by class name, followed by Assign.
  TVerifyTypePFunction();
  TVerifyTypePFunction(const TIEName& Name, TIETypes Kinds);

  TIETypes GetKinds() const noexcept { return FKinds; }
  /// Changes the set and rebuilds the help text.
  void SetKinds(TIETypes Kinds);
  /// Builds the help text from the set and sets the argument text, then renames.
  void SetFunctionName(const TIEName& Value) override;
  /// Copies the set as well as the inherited fields.
  void Assign(const TPersistent* Source) override;

 protected:
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override;

 private:
  void DescribeKinds();

  TIETypes FKinds;
};

class TPredicatePackage : public TUserPackage {
  RC_CLASS(TPredicatePackage, TUserPackage)
 public:
  using TUserPackage::TUserPackage;
  /// Adds evenp, oddp, get-type and the ten type predicates, in that order.
  void CreateFunctions() override;
};

}  // namespace rulecraft
