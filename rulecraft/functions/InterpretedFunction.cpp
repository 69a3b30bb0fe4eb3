#include "rulecraft/functions/InterpretedFunction.h"

#include <memory>
#include <new>
#include <vector>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/facts/FactPrinter.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/functions/BuiltinFunction.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"

namespace rulecraft {

namespace {

constexpr int32_t Unbounded = 2147483647;

[[maybe_unused]] const bool ClassRegistered = [] {
  RegisterClass(TInterpretedFunction::StaticClass());
  return true;
}();

}  // namespace

TInterpretedFunction::TInterpretedFunction()
    : FArguments(MakeRef<TValueVector>()), FStatements(MakeRef<TValueVector>()) {
  UpdateArgumentCounts();
}

TInterpretedFunction::TInterpretedFunction(const std::string& Name) : TInterpretedFunction() {
  SetFunctionName(Name);
}

void TInterpretedFunction::AddArgument(const std::string& Name, TIEType Kind) {
  if (Kind != dtAtom && Kind != dtVariable && Kind != dtMultiVariable)
    throw EIEException(
        SInvalidArgType,
        {GetIETypeName(Kind), SetToString(TIETypes{dtAtom, dtVariable, dtMultiVariable}, ", ", false)});
  FArguments->Add(MakeRef<TIEValue>(Name, Kind));
  FLayout = nullptr;
  UpdateArgumentCounts();
}

void TInterpretedFunction::UpdateArgumentCounts() {
  const int32_t Count = FArguments->GetValueCount();
  const bool Rest = Count > 0 && FArguments->Get(Count - 1)->GetDType() == dtMultiVariable;
  SetMaxArgumentCount(Rest ? Unbounded : Count);
  SetMinArgumentCount(Count);
}

void TInterpretedFunction::AddStatement(const IFunCall& FunCall) {
  FStatements->Add(MakeRef<TIEValue>(TRef<TFunCallBase>(FunCall)));
  FLayout = nullptr;
}

void TInterpretedFunction::AddStatement(const IIEValue& Value) {
  FStatements->Add(Value);
  FLayout = nullptr;
}

const IFrameLayout& TInterpretedFunction::GetLayout() {
  if (FLayout) return FLayout;
  std::vector<std::string> Names;
  for (int32_t I = 0; I < FArguments->GetValueCount(); ++I)
    Names.push_back(FArguments->Get(I)->GetAsString());
  IFrameLayout Layout = MakeRef<TFrameLayout>(Names);
  // Parameter I has slot I unless a name repeats (the later one then binds the first one's slot).
  FDistinctParameters = Layout->Count() == FArguments->GetValueCount();
  for (int32_t I = 0; I < FStatements->GetValueCount(); ++I) Layout->AddVariables(FStatements->Get(I), true);
  FLayout = std::move(Layout);
  return FLayout;
}

void TInterpretedFunction::Call(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  // Extra arguments are allowed and never evaluated; too few are an error.
  if (FunCall.GetArgumentCount() < GetArgumentCount()) throw EIEException(STooFewArgs, {GetFunctionName()});
  Result = nullptr;
  Evaluate(FunCall, Context, Result);
}

namespace {

TFunctionCall* CallOf(const IIEValue& Value) noexcept {
  return Value && Value->GetDType() == dtFunCall
             ? static_cast<TFunctionCall*>(Value->GetAsFunCallBase().get())
             : nullptr;
}

// The same walk by recursion, for when the work list cannot grow: as deep as calls nest in a body, which
// the parser bounds.
void UnbindNested(TFunctionCall& Call) noexcept {
  Call.Unbind();
  for (const IIEValue& Argument : Call.GetArguments())
    if (TFunctionCall* Inner = CallOf(Argument)) UnbindNested(*Inner);
}

}  // namespace

void TInterpretedFunction::ReleaseCalls() noexcept {
  // Iterative: bodies may nest calls deeply.
  std::vector<TFunctionCall*> Pending;
  auto Push = [&Pending](const IIEValue& Value) {
    TFunctionCall* Call = CallOf(Value);
    if (!Call) return;
    try {
      Pending.push_back(Call);
    } catch (const std::bad_alloc&) {
      UnbindNested(*Call);
    }
  };
  for (int32_t I = 0; I < FStatements->GetValueCount(); ++I) Push(FStatements->Get(I));
  while (!Pending.empty()) {
    TFunctionCall* Call = Pending.back();
    Pending.pop_back();
    Call->Unbind();
    for (const IIEValue& Argument : Call->GetArguments()) Push(Argument);
  }
}

void TInterpretedFunction::Execute(TFunctionCall& FunCall, TIEContext* Context) {
  IIEValue Result;
  Call(FunCall, Context, Result);
}

void TInterpretedFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  if (!Context) throw EIEException(SNoContext, {std::string("deffunction")});
  // The statements and parameters are held for the call: a statement may redefine this function.
  const IValueVector Arguments = FArguments;
  const IValueVector Statements = FStatements;
  const IFrameLayout Layout = GetLayout();
  const bool Distinct = FDistinctParameters;
  TFrame Local = Context->PushFrame(Layout);
  const int32_t Count = Arguments->GetValueCount();
  const auto SlotOf = [&](int32_t I) {
    return Distinct ? I : Layout->IndexOf(Arguments->Get(I)->GetAsString());
  };
  for (int32_t I = 0; I < Count; ++I) {
    const IIEValue& Parameter = Arguments->Get(I);
    switch (Parameter->GetDType()) {
      case dtVariable: {
        Local->BindSlot(SlotOf(I), ResolveIn(FunCall.GetArgument(I), Local.get()));
        break;
      }
      case dtMultiVariable: {
        IValueVector Rest = MakeRef<TValueVector>();
        for (int32_t J = I; J < FunCall.GetArgumentCount(); ++J) {
          Rest->Add(ResolveIn(FunCall.GetArgument(J), Local.get()));
        }
        Local->BindSlot(SlotOf(I), MakeRef<TIEValue>(Rest));
        break;
      }
      default:
        Local->SetVariable(Parameter->GetAsString(), FCNil);
        break;
    }
  }
  IIEValue Last;
  for (int32_t I = 0; I < Statements->GetValueCount(); ++I) {
    Last = ResolveIn(Statements->Get(I), Local.get());
    if (Local->GetReturn()) {
      Last = Local->GetReturnValue();
      Local->ClearReturnValue();
      break;
    }
  }
  if (Last) {
    IIEValue Value;
    Last->Resolve(Local.get(), Value);
    Last = Value;
  }
  Result = Last ? Last : FCNil;
  Local->Pop();
}

std::string GetSyntaxStatement(const TIEUserFunction& Function) {
  const std::string Arguments = Trim(Function.GetArgumentString());
  if (Arguments.empty()) return Format("(%s)", {Function.GetFunctionName()});
  return Format("(%s)", {Function.GetFunctionName() + " " + Arguments});
}

std::string PrettyPrintInterpretedFunction(const TInterpretedFunction& Function) {
  const TReadBackText ReadBack;
  std::string Text = "(deffunction " + Function.GetFunctionName() + " (";
  for (int32_t I = 0; I < Function.GetArgumentCount(); ++I) {
    if (I > 0) Text += " ";
    const IIEValue& Argument = Function.GetArgument(I);
    Text += Argument->GetToString();
  }
  Text += std::string(")") + NewLineString;
  if (!Function.GetComment().empty())
    Text += IndentString + TIEValue(Function.GetComment(), dtString).GetToString() + NewLineString;
  for (int32_t I = 0; I < Function.GetStatementCount(); ++I)
    Text += IndentString + IndentText(Function.GetStatement(I)->GetToString()) + NewLineString;
  return Text + ")" + std::string(NewLineString);
}

std::string PrettyPrintUserFunction(const TIEUserFunction& Function) {
  if (const auto* Interpreted = dynamic_cast<const TInterpretedFunction*>(&Function))
    return PrettyPrintInterpretedFunction(*Interpreted);
  std::string Text = ";; " + Function.GetFunctionName() + " function" + std::string(NewLineString) +
                     Format("     syntax: %s", {GetSyntaxStatement(Function)});
  if (!Function.GetComment().empty())
    Text += std::string(NewLineString) + "     " + IndentText(Function.GetComment());
  return Text;
}

}  // namespace rulecraft
