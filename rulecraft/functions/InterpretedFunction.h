#pragma once
// TInterpretedFunction: a function written in the rule language (deffunction). Its parameters are variables
// (a multifield variable last takes the remaining arguments); its body is a list of statements, each a call
// or a plain value. A call evaluates the body in a fresh child of the caller's context, so the body sees the
// caller's variables unless a parameter shadows them, and a `return` ends this function only.
#include <cstdint>
#include <string>

#include "rulecraft/core/ValueVector.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/UserFunction.h"

namespace rulecraft {

class TInterpretedFunction final : public TIEUserFunction {
  RC_CLASS(TInterpretedFunction, TIEUserFunction)
 public:
  TInterpretedFunction();
  explicit TInterpretedFunction(const std::string& Name);

  /// Appends a parameter: Kind must be dtAtom, dtVariable or dtMultiVariable ("Invalid argument type for
  /// deffunction: "%s".  Expected %s" otherwise). The argument counts follow the parameters.
  void AddArgument(const std::string& Name, TIEType Kind);
  /// Appends a call statement.
  void AddStatement(const IFunCall& FunCall);
  /// Appends Value itself (shared, not copied) as a statement.
  void AddStatement(const IIEValue& Value);
  const IIEValue& GetStatement(int32_t Index) const { return FStatements->Get(Index); }
  int32_t GetStatementCount() const noexcept { return FStatements->GetValueCount(); }
  const IIEValue& GetArgument(int32_t Index) const { return FArguments->Get(Index); }
  int32_t GetArgumentCount() const noexcept { return FArguments->GetValueCount(); }
  int32_t GetOrder() const noexcept { return FOrder; }
  void SetOrder(int32_t Value) noexcept { FOrder = Value; }

  /// Only too few arguments are an error ("Too few arguments for %s"): extra ones are never evaluated.
  void Call(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override;
  /// Unbinds every call of the body, nested ones included. A body's call bound to this function (recursion)
  /// or to one that calls back would otherwise keep the functions alive for ever; the engine calls this
  /// when it lets a function go.
  void ReleaseCalls() noexcept;
  /// Runs the call and drops the result.
  void Execute(TFunctionCall& FunCall, TIEContext* Context);

 protected:
  /// Binds the parameters in a child context and evaluates the statements; the result is the last
  /// statement's value or the returned one, nil for an empty body.
  void Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override;

 private:
  void UpdateArgumentCounts();
  /// The frame layout of a call (parameters first, then every other variable of the body), made on the first
  /// call after a change.
  const IFrameLayout& GetLayout();

  IValueVector FArguments;
  IFrameLayout FLayout;
  bool FDistinctParameters = true;
  IValueVector FStatements;
  int32_t FOrder = 0;
};

using IInterpretedFunction = TRef<TInterpretedFunction>;

/// The stand-alone text of a deffunction: "(deffunction name (params)" and a line break, the comment in
/// double quotes on its own line, each statement on an indented line, then ")" and a line break.
std::string PrettyPrintInterpretedFunction(const TInterpretedFunction& Function);
/// The help block of a built-in function: ";; name function", its syntax line and its comment, indented.
std::string PrettyPrintUserFunction(const TIEUserFunction& Function);
/// "(name)" or "(name <argument text>)" when the argument text is not blank: how the function is called.
std::string GetSyntaxStatement(const TIEUserFunction& Function);

}  // namespace rulecraft
