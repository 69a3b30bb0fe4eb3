#include "rulecraft/packages/ControlFunctions.h"

#include <exception>
#include <string>
#include <typeinfo>
#include <vector>

#include "rulecraft/core/Binding.h"
#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/IETypes.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"

namespace rulecraft {

namespace {

constexpr int32_t Unbounded = 2147483647;
/// The variable a caught error's message is assigned to.

[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class : {TAndFunction::StaticClass(),          TOrFunction::StaticClass(),
                       TNotFunction::StaticClass(),          TEqFunction::StaticClass(),
                       TEqStarFunction::StaticClass(),       TNeqFunction::StaticClass(),
                       TNumericEqualFunction::StaticClass(), TNumericNotEqualFunction::StaticClass(),
                       TGreaterThanFunction::StaticClass(),  TGreaterOrEqualFunction::StaticClass(),
                       TLessThanFunction::StaticClass(),     TLessOrEqualFunction::StaticClass(),
                       TMemberFunction::StaticClass(),       TBindFunction::StaticClass(),
                       TGetVarFunction::StaticClass(),       TIfFunction::StaticClass(),
                       TWhileFunction::StaticClass(),        TForEachFunction::StaticClass(),
                       TReturnFunction::StaticClass(),       TTryFunction::StaticClass(),
                       TThrowFunction::StaticClass()})
    RegisterClass(Class);
  return true;
}();

IIEValue Truth(bool Value) { return Value ? FCTrue : FCFalse; }

/// eq, eq* and neq: resolves the first argument, then the others in order while Holds(first, other) is true;
/// true when it held for every other argument.
template <class THolds>
bool FirstHoldsForAll(TFunctionCall& FunCall, TIEContext* Context, THolds Holds) {
  const IIEValue First = ResolveArgument(FunCall, 0, Context);
  for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I)
    if (!Holds(*First, ResolveArgument(FunCall, I, Context))) return false;
  return true;
}

/// The resolved value Value is the keyword atom (as Value->Equals(Keyword)): an atom holding the keyword's
/// text; only a fuzzy value has more to say.
bool IsKeywordValue(const IIEValue& Value, const IIEValue& Keyword) {
  switch (Value->GetDType()) {
    case dtAtom:
      return Value->HoldsSymbol(Keyword->GetSymbol());
    case dtFuzzy:
      return Value->Equals(Keyword);
    default:
      return false;
  }
}

/// Argument Index of the call, unevaluated, is the keyword atom.
bool IsKeyword(TFunctionCall& FunCall, int32_t Index, const IIEValue& Keyword) {
  const IIEValue& Argument = FunCall.GetArgument(Index);
  return Argument && IsKeywordValue(Argument, Keyword);
}

bool ReturnPending(const TIEContext* Context) { return Context && Context->GetReturn(); }

/// The context a function that reads or assigns variables works in.
TIEContext& ContextFor(TIEContext* Context) {
  if (!Context) throw EIEException(SNoContext, {GetIETypeName(dtVariable)});
  return *Context;
}

/// Evaluates the arguments [First, Last) in order, Result taking each one's value. When a return is pending
/// after an argument, Result becomes the pending return's value and the run stops there, the return still
/// pending for the enclosing constructs. True when it stopped for a return.
bool RunStatements(TFunctionCall& FunCall, int32_t First, int32_t Last, TIEContext* Context,
                   IIEValue& Result) {
  for (int32_t I = First; I < Last; ++I) {
    Result = ResolveArgument(FunCall, I, Context);
    if (ReturnPending(Context)) {
      Result = Context->GetReturnValue();
      return true;
    }
  }
  return false;
}

/// Compares each argument, as a number, with the next one; FALSE at the first pair Holds refuses.
template <typename TPredicate>
IIEValue NumericChain(TFunctionCall& FunCall, TIEContext* Context, TPredicate Holds) {
  double Previous = ResolveNumber(FunCall, 0, Context).Value;
  for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I) {
    const double Next = ResolveNumber(FunCall, I, Context).Value;
    if (!Holds(Previous, Next)) return FCFalse;
    Previous = Next;
  }
  return FCTrue;
}

}  // namespace

// ---- logic -----------------------------------------------------------------------------------------------

TAndFunction::TAndFunction()
    : TIEUserFunction("and", 0, Unbounded,
                      FunctionComment("Returns TRUE if every argument evaluates to TRUE, FALSE otherwise"),
                      SAnyExpressionArguments) {}

void TAndFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I) {
    if (IsFalseAtom(ResolveArgument(FunCall, I, Context))) {
      Result = FCFalse;
      return;
    }
  }
  Result = FCTrue;
}

TOrFunction::TOrFunction()
    : TIEUserFunction("or", 0, Unbounded,
                      FunctionComment("Returns TRUE if any argument evaluates to TRUE, FALSE otherwise"),
                      SAnyExpressionArguments) {}

void TOrFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I) {
    if (IsTrueAtom(ResolveArgument(FunCall, I, Context))) {
      Result = FCTrue;
      return;
    }
  }
  Result = FCFalse;
}

TNotFunction::TNotFunction()
    : TIEUserFunction(
          "not", 1, 1,
          FunctionComment("Returns TRUE if the argument evaluates to FALSE, otherwise it returns FALSE"),
          " <expression>") {}

void TNotFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = Truth(IsFalseAtom(ResolveArgument(FunCall, 0, Context)));
}

// ---- equality and comparison -----------------------------------------------------------------------------

TEqFunction::TEqFunction()
    : TIEUserFunction("eq", 1, Unbounded,
                      FunctionComment("Returns TRUE if the first argument equals (in type and value) all of "
                                      "the following arguments"),
                      SEqualityArguments) {}

void TEqFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = Truth(FirstHoldsForAll(
      FunCall, Context, [](const TIEValue& First, const IIEValue& Other) { return First.Equals(Other); }));
}

TEqStarFunction::TEqStarFunction()
    : TIEUserFunction("eq*", 1, Unbounded,
                      FunctionComment("Returns TRUE if the first argument equals (in value) all of the "
                                      "following arguments.  Note that the types may differ"),
                      SEqualityArguments) {}

void TEqStarFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = Truth(FirstHoldsForAll(FunCall, Context, [](const TIEValue& First, const IIEValue& Other) {
    return First.EqualsStar(Other);
  }));
}

TNeqFunction::TNeqFunction()
    : TIEUserFunction(
          "neq", 1, Unbounded,
          FunctionComment("Returns TRUE if the first argument equals none of the following arguments"),
          " <expression> <expression>*") {}

void TNeqFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = Truth(FirstHoldsForAll(
      FunCall, Context, [](const TIEValue& First, const IIEValue& Other) { return !First.Equals(Other); }));
}

TNumericEqualFunction::TNumericEqualFunction()
    : TIEUserFunction("=", 1, Unbounded,
                      FunctionComment("Returns TRUE if the first numeric argument equals all of the "
                                      "following numeric arguments"),
                      SNumericChainArguments) {
  SetArithmeticKind(akEqual);
}

void TNumericEqualFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const double First = ResolveNumber(FunCall, 0, Context).Value;
  for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I) {
    if (!(ResolveNumber(FunCall, I, Context).Value == First)) {
      Result = FCFalse;
      return;
    }
  }
  Result = FCTrue;
}

TNumericNotEqualFunction::TNumericNotEqualFunction()
    : TIEUserFunction("<>", 1, Unbounded,
                      FunctionComment("Returns TRUE if the numeric first argument equals none of the "
                                      "following numeric arguments"),
                      " <numeric-expression> <numeric-expression>*") {
  SetArithmeticKind(akNotEqual);
}

void TNumericNotEqualFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const double First = ResolveNumber(FunCall, 0, Context).Value;
  for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I) {
    if (ResolveNumber(FunCall, I, Context).Value == First) {
      Result = FCFalse;
      return;
    }
  }
  Result = FCTrue;
}

TGreaterThanFunction::TGreaterThanFunction()
    : TIEUserFunction(
          ">", 2, Unbounded,
          FunctionComment("Returns TRUE if, for all arguments, argument n is greater than argument n + 1"),
          SNumericChainArguments) {
  SetArithmeticKind(akGreater);
}

void TGreaterThanFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = NumericChain(FunCall, Context, [](double A, double B) { return A > B; });
}

TGreaterOrEqualFunction::TGreaterOrEqualFunction()
    : TIEUserFunction(">=", 2, Unbounded,
                      FunctionComment("Returns TRUE if, for all arguments, argument n is greater than or "
                                      "equal to argument n + 1"),
                      SNumericChainArguments) {
  SetArithmeticKind(akGreaterOrEqual);
}

void TGreaterOrEqualFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = NumericChain(FunCall, Context, [](double A, double B) { return A >= B; });
}

TLessThanFunction::TLessThanFunction()
    : TIEUserFunction(
          "<", 2, Unbounded,
          FunctionComment("Returns TRUE if, for all arguments, argument n is less than argument n + 1"),
          SNumericChainArguments) {
  SetArithmeticKind(akLess);
}

void TLessThanFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = NumericChain(FunCall, Context, [](double A, double B) { return A < B; });
}

TLessOrEqualFunction::TLessOrEqualFunction()
    : TIEUserFunction("<=", 2, Unbounded,
                      FunctionComment("Returns TRUE if, for all arguments, argument n is less than or equal "
                                      "to argument n + 1"),
                      SNumericChainArguments) {
  SetArithmeticKind(akLessOrEqual);
}

void TLessOrEqualFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = NumericChain(FunCall, Context, [](double A, double B) { return A <= B; });
}

TMemberFunction::TMemberFunction()
    : TIEUserFunction("member", 2, Unbounded,
                      FunctionComment("Returns the index of the argument that matches the first argument, or "
                                      "FALSE if the first argument is not found.  The index returned is "
                                      "0-based"),
                      " <to-find-expression> <expression>+") {}

void TMemberFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const IIEValue First = ResolveArgument(FunCall, 0, Context);
  for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I) {
    if (First->Equals(ResolveArgument(FunCall, I, Context))) {
      Result = MakeRef<TIEValue>(I - 1, dtInteger);
      return;
    }
  }
  Result = FCFalse;
}

// ---- variables -------------------------------------------------------------------------------------------

TBindFunction::TBindFunction()
    : TIEUserFunction("bind", 2, 2,
                      FunctionComment("Binds a variable to a value and returns the evaluated value"),
                      " <variable> <expression>") {}

void TBindFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  // The variable is taken as written; only a variable names one.
  const IIEValue Variable = FunCall.GetArgument(0);  // held: evaluating the value may change the call
  if (!Variable || (Variable->GetDType() != dtVariable && Variable->GetDType() != dtMultiVariable))
    throw EIEException(SInvalidVariableName, {Variable ? Variable->GetToString() : std::string()});
  TIEContext& Scope = ContextFor(Context);
  const IIEValue& Argument = FunCall.GetArgument(1);
  if (TFunctionCall* Call = Argument ? CallOf(*Argument) : nullptr) {
    const IFunCall Inner(Call);  // held while it runs
    TNumber Number;
    if (Inner->ExecuteNumber(Context, Number)) {
      // A number bound to a variable whose number no one else holds is written into that value, so a loop
      // counter makes no value per turn.
      TBinding* Binding = Scope.FindVariable(*Variable);
      TIEValue* Old = Binding ? Binding->GetValue().get() : nullptr;
      if (Old && Old->RefCount() == 1 && (Old->GetDType() == dtInteger || Old->GetDType() == dtFloat) &&
          Old->GetTag() == 0 && !Old->GetOnChange()) {
        if (Number.IsFloat)
          Old->SetAsFloat(Number.Value);
        else
          Old->SetAsInteger(static_cast<int32_t>(Number.Value));
        Result = Binding->GetValue();
        return;
      }
      IIEValue Value = Number.ToValue();
      if (Binding)
        Binding->SetValue(Value);
      else
        Scope.SetVariable(*Variable, Value);
      Result = std::move(Value);
      return;
    }
  }
  IIEValue Value = ResolveArgument(FunCall, 1, Context);
  Scope.SetVariable(*Variable, Value);
  Result = std::move(Value);
}

TGetVarFunction::TGetVarFunction()
    : TIEUserFunction("__get-var", 1, 1,
                      FunctionComment("Returns the value associated with the variable name, or nil if the "
                                      "variable doesn't exist"),
                      " <variable-name>") {}

void TGetVarFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const IIEValue& Argument = FunCall.GetArgument(0);
  if (Argument && (Argument->GetDType() == dtVariable || Argument->GetDType() == dtMultiVariable)) {
    Result = ResolveArgument(FunCall, 0, Context);
    return;
  }
  const std::string Name = ResolveArgument(FunCall, 0, Context)->GetAsString();
  const TBinding* Binding = Context ? Context->FindBinding(Name) : nullptr;
  Result = Binding && Binding->GetValue() ? Binding->GetValue() : FCNil;
}

// ---- branches and loops ----------------------------------------------------------------------------------

TIfFunction::TIfFunction()
    : TIEUserFunction(
          "if", 2, Unbounded,
          FunctionComment(
              "Evaluates the first argument.  If the first argument is TRUE, then it executes the "
              "expressions after the \"then\" keyword.  If the first argument is FALSE and the "
              "\"else\" keyword is present, it executes the expressions after the \"else\" "
              "keyword"),
          " <predicate-expression> then <expression>+ [else <expression>+]") {}

void TIfFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  if (!IsKeyword(FunCall, 1, FCThen)) throw EIEException(SSyntaxError, {SMissingThen});
  const int32_t Count = FunCall.GetArgumentCount();
  const bool Condition = !IsFalseAtom(ResolveArgument(FunCall, 0, Context));
  Result = FCFalse;
  if (Condition) {
    // The then-branch ends at the first expression whose value is the keyword else.
    for (int32_t I = 2; I < Count; ++I) {
      IIEValue Value = ResolveArgument(FunCall, I, Context);
      if (IsKeywordValue(Value, FCElse)) return;
      if (ReturnPending(Context)) {
        Result = Context->GetReturnValue();
        return;
      }
      Result = std::move(Value);
    }
    return;
  }
  // The then-branch holds at least one expression, so else is looked for from the fourth argument on.
  for (int32_t I = 3; I < Count; ++I) {
    if (IsKeyword(FunCall, I, FCElse)) {
      RunStatements(FunCall, I + 1, Count, Context, Result);
      return;
    }
  }
}

TWhileFunction::TWhileFunction()
    : TIEUserFunction(
          "while", 2, Unbounded,
          FunctionComment(
              "Evaluates and executes the expressions in a loop as long as the boolean expression "
              "evaluates to TRUE.  The <boolean-expression> is evaluated BEFORE the start of the "
              "loop, including the first time"),
          " <boolean-expression> [do] <expression>*") {}

void TWhileFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const int32_t Count = FunCall.GetArgumentCount();
  const int32_t Body = Count > 1 && IsKeyword(FunCall, 1, FCDo) ? 2 : 1;
  IIEValue Condition = ResolveArgument(FunCall, 0, Context);
  IIEValue Last;
  // No iteration limit: the loop ends when the condition is FALSE, at a return or at an error.
  while (!IsFalseAtom(Condition)) {
    if (RunStatements(FunCall, Body, Count, Context, Last)) {
      Result = std::move(Last);
      return;
    }
    Condition = ResolveArgument(FunCall, 0, Context);
  }
  Result = std::move(Condition);
}

TForEachFunction::TForEachFunction()
    : TIEUserFunction(
          "foreach", 2, Unbounded,
          FunctionComment(
              std::string("Executes a loop where a set of statements are applied to a list.  The "
                          "first argument specifies a variable name.  Each item in the second "
                          "argument list is assigned to the variable and then all the rest of the "
                          "arguments are executed.  The function returns the value of the last "
                          "statement or the return value if a \"return\" statement was found.  "
                          "For example:") +
              NewLineString +
              "     (foreach i (create$ red green blue) (printout t ?i \" color\" crlf) "
              "(str-cat ?i \" color\"))" +
              NewLineString +
              "     prints \"red color\", \"green color\" and \"blue color\", one a line, and "
              "returns \"blue color\""),
          " <variable-name> <list-expression> <expression>*") {}

void TForEachFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const std::string Name = ResolveArgument(FunCall, 0, Context)->GetAsString();
  const IValueVector List = ResolveArgument(FunCall, 1, Context)->GetAsList();
  TIEContext& Scope = ContextFor(Context);
  Result = FCNil;
  if (!List) return;
  // A snapshot of the elements: the body may change the list it walks.
  const std::vector<IIEValue> Elements = List->Values();
  for (const IIEValue& Element : Elements) {
    Scope.SetVariable(Name, ResolveIn(Element, Context));
    if (RunStatements(FunCall, 2, FunCall.GetArgumentCount(), Context, Result)) return;
  }
}

TReturnFunction::TReturnFunction()
    : TIEUserFunction("return", 1, 1,
                      FunctionComment("Returns the <expression> specified.  The return command forces "
                                      "execution to break out of a loop, deffunction, if, or similar "
                                      "structure"),
                      " <expression>") {}

void TReturnFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  // The expression as written: the owner of the context evaluates it in its own scope, or drops it.
  Result = FunCall.GetArgument(0);
  if (Context) Context->SetReturnValue(Result);
}

// ---- exceptions ------------------------------------------------------------------------------------------

TTryFunction::TTryFunction()
    : TIEUserFunction(
          "try", 1, Unbounded,
          FunctionComment("Evaluates the expressions before the optional finally, catch or except keywords.  "
                          "An exception raised by them is caught, and execution resumes after the finally "
                          "keyword, when it is present, and then after the catch (or except) keyword, when "
                          "it is present.  Either the finally or the catch part may be left out, but not "
                          "both.  The message of a caught exception is stored in the local variable "
                          "?__ERROR"),
          " [<expression>*] [finally [<expression>*>] [catch|except [<expression>*]]") {}

void TTryFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const int32_t Count = FunCall.GetArgumentCount();
  int32_t Finally = -1;
  for (int32_t I = 0; I < Count && Finally < 0; ++I)
    if (IsKeyword(FunCall, I, FCFinally)) Finally = I;
  int32_t Catch = -1;
  for (int32_t I = Finally + 1; I < Count && Catch < 0; ++I)
    if (IsKeyword(FunCall, I, FCCatch) || IsKeyword(FunCall, I, FCExcept)) Catch = I;
  if (Finally < 0 && Catch < 0) throw EIEException(std::string(SMissingCatchStatement));

  Result = FCNil;
  bool Caught = false;
  std::string Message;
  // An exit request, or something that is not an engine error at all, passes on after the finally part.
  std::exception_ptr Passing;
  const auto Run = [&](int32_t First, int32_t Last) {
    try {
      RunStatements(FunCall, First, Last, Context, Result);
    } catch (const EIEExit&) {
      Passing = std::current_exception();
    } catch (const Exception& E) {
      Caught = true;
      Message = E.Message();
    } catch (...) {
      Passing = std::current_exception();
    }
  };
  Run(0, Finally >= 0 ? Finally : Catch);
  if (Finally >= 0) Run(Finally + 1, Catch >= 0 ? Catch : Count);
  if (Passing) std::rethrow_exception(Passing);
  if (!Caught) return;
  Result = FCFalse;
  ContextFor(Context).SetVariable(SErrorBinding, MakeRef<TIEValue>(Message, dtString));
  if (Catch >= 0) RunStatements(FunCall, Catch + 1, Count, Context, Result);
}

TThrowFunction::TThrowFunction()
    : TIEUserFunction(
          "throw", 1, 1,
          FunctionComment("Raises an exception with the message equal to the <lexeme-expression>.  "
                          "Unless the throw statement is inside a try command, the exception will "
                          "halt execution of the inference engine"),
          " <lexeme-expression>") {}

void TThrowFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue&) {
  throw Exception(ResolveArgument(FunCall, 0, Context)->GetAsString());
}

}  // namespace rulecraft
