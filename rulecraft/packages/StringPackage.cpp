#include "rulecraft/packages/StringPackage.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <limits>
#include <string>
#include <typeinfo>

#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/functions/FunctionCall.h"

namespace rulecraft {

namespace {

constexpr int32_t Unbounded = 2147483647;

[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class :
       {TLowerCaseFunction::StaticClass(), TStrCatFunction::StaticClass(), TStrCompFunction::StaticClass(),
        TStrIndexFunction::StaticClass(), TStrLengthFunction::StaticClass(),
        TSubStringFunction::StaticClass(), TSymCatFunction::StaticClass(), TUpperCaseFunction::StaticClass(),
        TStrFormatFunction::StaticClass(), TStringPackage::StaticClass()})
    RegisterClass(Class);
  return true;
}();

std::string Text(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  return ResolveArgument(FunCall, Index, Context)->GetAsString();
}

/// A resolved value's text as GetAsString reads it, kept for as long as this lives: a text kind's own text,
/// without a copy (its symbol is held, so the text stays whatever later arguments do to the value), or any
/// other kind's text form.
class THeldText {
 public:
  explicit THeldText(const IIEValue& Value) { Take(Value); }
  THeldText(const THeldText&) = delete;
  THeldText& operator=(const THeldText&) = delete;

  void Take(const IIEValue& Value) {
    if (const TSymbol* Symbol = Value->GetTextRecord()) {
      FSymbol = ISymbol(Symbol);
      FText = &Symbol->Text();
    } else {
      FScratch = Value->GetAsString();
      FText = &FScratch;
    }
  }
  const std::string& Get() const noexcept { return *FText; }

 private:
  ISymbol FSymbol;
  std::string FScratch;
  const std::string* FText = &FScratch;
};

/// The text of argument Index resolved, for a function that evaluates nothing after it. A constant or a
/// bound variable is read in place; a computed value is held, which keeps a text kind's text as it is.
class TArgumentText {
 public:
  TArgumentText(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
    const TIEValue* Value = PeekArgument(FunCall, Index, Context);
    if (!Value) {
      FHeld = ResolveArgument(FunCall, Index, Context);
      Value = FHeld.get();
    }
    FText = Value->GetTextRecord() ? &Value->Text() : &(FScratch = Value->GetAsString());
  }
  TArgumentText(const TArgumentText&) = delete;
  TArgumentText& operator=(const TArgumentText&) = delete;

  const std::string& Get() const noexcept { return *FText; }

 private:
  IIEValue FHeld;
  std::string FScratch;
  const std::string* FText;
};

/// Appends the text of a value to Out: a text kind's own text, any other kind's GetAsString.
void AppendText(std::string& Out, const TIEValue& Value) {
  if (Value.GetTextRecord()) {
    const std::string& Text = Value.Text();
    // A long first piece leaves room for a few short ones after it, so the text is mostly built in one
    // piece.
    if (Out.empty() && Text.size() > 15) Out.reserve(Text.size() + 32);
    Out += Text;
  } else {
    Out += Value.GetAsString();
  }
}

/// Appends the text of a call's number as GetAsString writes the value the call would answer: an integer
/// in decimal, a float with four decimals.
void AppendNumber(std::string& Out, const TNumber& Number) {
  if (Number.IsFloat) {
    Out += FloatToFixed(Number.Value, 4);
    return;
  }
  char Digits[16];
  const auto End = std::to_chars(Digits, Digits + sizeof Digits, static_cast<int32_t>(Number.Value)).ptr;
  Out.append(Digits, End);
}

/// The call argument Index holds when it is a call of this engine's kind with a number form, without a new
/// reference; nullptr otherwise.
TFunctionCall* NumberCallOf(TFunctionCall& FunCall, int32_t Index) {
  const IIEValue& Argument = FunCall.GetArgument(Index);
  TFunctionCall* Call = Argument ? CallOf(*Argument) : nullptr;
  if (!Call) return nullptr;
  const IUserFunction& Function = Call->GetUserFunction();
  return !Function || Function->HasNumberForm() ? Call : nullptr;
}

/// A count of bytes as an integer value; texts beyond 2147483647 bytes report that.
int32_t ByteCount(size_t Count) {
  return static_cast<int32_t>(
      std::min<size_t>(Count, static_cast<size_t>(std::numeric_limits<int32_t>::max())));
}

/// Every argument's text, concatenated. Each piece is copied before the next argument runs. A constant or a
/// bound variable is read in place, and a call with a number form hands over its number, written without
/// making a value.
std::string Concatenate(TFunctionCall& FunCall, TIEContext* Context) {
  std::string Out;
  for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I) {
    if (const TIEValue* Value = PeekArgument(FunCall, I, Context)) {
      AppendText(Out, *Value);
      continue;
    }
    if (TFunctionCall* Call = NumberCallOf(FunCall, I)) {
      // Held while it runs, as a resolved argument is.
      const IFunCall Held(Call);
      TNumber Number;
      if (Held->ExecuteNumber(Context, Number)) {
        AppendNumber(Out, Number);
        continue;
      }
    }
    AppendText(Out, *ResolveArgument(FunCall, I, Context));
  }
  return Out;
}

/// The argument's text with ASCII letters mapped by Map, in the argument's kind when that is a text kind,
/// otherwise as a string.
template <class Mapping>
IIEValue MapCase(TFunctionCall& FunCall, TIEContext* Context, Mapping Map) {
  const IIEValue Value = ResolveArgument(FunCall, 0, Context);
  std::string S = Value->GetAsString();
  for (char& C : S) C = Map(C);
  const TIEType Kind = IEStringTypes.Contains(Value->GetDType()) ? Value->GetDType() : dtString;
  return MakeRef<TIEValue>(TBuiltText{std::move(S)}, Kind);
}

}  // namespace

TLowerCaseFunction::TLowerCaseFunction()
    : TIEUserFunction("lowcase", 1, 1,
                      FunctionComment("Returns its argument converted to a lower case string"),
                      " <string-or-symbol-expression>") {}

void TLowerCaseFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result =
      MapCase(FunCall, Context, [](char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C + 32) : C; });
}

TUpperCaseFunction::TUpperCaseFunction()
    : TIEUserFunction("upcase", 1, 1,
                      FunctionComment("Returns its argument converted to an upper case string"),
                      " <lexeme-expression>") {}

void TUpperCaseFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result =
      MapCase(FunCall, Context, [](char C) { return C >= 'a' && C <= 'z' ? static_cast<char>(C - 32) : C; });
}

TStrCatFunction::TStrCatFunction()
    : TIEUserFunction("str-cat", 0, Unbounded,
                      FunctionComment("Returns all of its arguments concatenated into a string"),
                      " <lexeme-expression>*") {}

void TStrCatFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = MakeRef<TIEValue>(TBuiltText{Concatenate(FunCall, Context)}, dtString);
}

TSymCatFunction::TSymCatFunction()
    : TIEUserFunction("sym-cat", 0, Unbounded,
                      FunctionComment("Returns all of its arguments concatenated into a symbol"),
                      " <expression>*") {}

void TSymCatFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = MakeRef<TIEValue>(TBuiltText{Concatenate(FunCall, Context)}, dtAtom);
}

TStrCompFunction::TStrCompFunction()
    : TIEUserFunction(
          "str-compare", 2, 2,
          FunctionComment(
              "Returns an integer value for the comparison of the two symbols, with "
              "case-sensitivity.   The return value is less than 0 if argument1 is less than argument2, "
              "0 if argument1 equals argument2, or greater than 0 if argument1 is greater than "
              "argument2"),
          SLexemePairArguments) {}

void TStrCompFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const std::string A = Text(FunCall, 0, Context);
  const std::string B = Text(FunCall, 1, Context);
  const size_t Common = std::min(A.size(), B.size());
  for (size_t I = 0; I < Common; ++I) {
    const int Difference = static_cast<unsigned char>(A[I]) - static_cast<unsigned char>(B[I]);
    if (Difference != 0) {
      Result = MakeRef<TIEValue>(Difference, dtInteger);
      return;
    }
  }
  Result = MakeRef<TIEValue>(ByteCount(A.size()) - ByteCount(B.size()), dtInteger);
}

TStrIndexFunction::TStrIndexFunction()
    : TIEUserFunction(
          "str-index", 2, 2,
          FunctionComment("Returns an integer value representing the position of the first argument "
                          "substring within the second argument, otherwise FALSE if the first argument "
                          "is not a substring of the second argument"),
          SLexemePairArguments) {}

void TStrIndexFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  // The needle's symbol is held: evaluating the haystack may run anything.
  const THeldText NeedleText(ResolveArgument(FunCall, 0, Context));
  const TArgumentText HaystackArgument(FunCall, 1, Context);
  const std::string& Needle = NeedleText.Get();
  const std::string& Haystack = HaystackArgument.Get();
  const size_t Position = Needle.empty() ? std::string::npos : Haystack.find(Needle);
  Result = Position == std::string::npos ? FCFalse : MakeRef<TIEValue>(ByteCount(Position + 1), dtInteger);
}

TStrLengthFunction::TStrLengthFunction()
    : TNumberFunction("str-length", 1, 1, FunctionComment("Returns the length of the argument in characters"),
                      " <lexeme-expression>") {}

void TStrLengthFunction::EvaluateNumber(TFunctionCall& FunCall, TIEContext* Context, TNumber& Result) {
  Result = TNumber{static_cast<double>(ByteCount(TArgumentText(FunCall, 0, Context).Get().size())), false};
}

TSubStringFunction::TSubStringFunction()
    : TIEUserFunction(
          "sub-string", 3, 3,
          FunctionComment("Extracts a substring from the <lexeme-expression> from the specified range "
                          "(<start-integer-expression> to <end-integer-expression>)"),
          " <start-integer-expression> <end-integer-expression> <lexeme-expression>") {}

void TSubStringFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const int32_t Start = ResolveInteger(FunCall, 0, Context);
  const int32_t End = ResolveInteger(FunCall, 1, Context);
  const TArgumentText Argument(FunCall, 2, Context);
  const std::string& S = Argument.Get();
  // In 64 bits: end - start + 1 of any two 32-bit integers.
  const int64_t Count = static_cast<int64_t>(End) - Start + 1;
  if (Start < 1 || static_cast<uint64_t>(Start) > S.size() || Count < 0)
    throw EIEException(SInvalidSubstrParameters, {Start, End});
  const size_t From = static_cast<size_t>(Start) - 1;
  Result = MakeRef<TIEValue>(
      TBuiltText{S.substr(From, std::min(static_cast<size_t>(Count), S.size() - From))}, dtString);
}

TStrFormatFunction::TStrFormatFunction()
    : TIEUserFunction(
          "str-format", 2, Unbounded,
          FunctionComment("Returns a string created by combining the other arguments using a format "
                          "string in the first argument"),
          "<string-expression> <expression>+") {}

void TStrFormatFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const std::string Control = Text(FunCall, 0, Context);
  IValueVector Values = MakeRef<TValueVector>();
  Values->Reserve(FunCall.GetArgumentCount() - 1);
  for (int32_t I = 1; I < FunCall.GetArgumentCount(); ++I) Values->Add(ResolveArgument(FunCall, I, Context));
  Result = MakeRef<TIEValue>(TBuiltText{CLIPSFormat(Control, Values)}, dtString);
}

void TStringPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  TUserFunctionList& List = GetFunctions();
  List.Add(MakeRef<TLowerCaseFunction>());
  List.Add(MakeRef<TStrCatFunction>());
  List.Add(MakeRef<TStrCompFunction>());
  List.Add(MakeRef<TStrIndexFunction>());
  List.Add(MakeRef<TStrLengthFunction>());
  List.Add(MakeRef<TSubStringFunction>());
  List.Add(MakeRef<TSymCatFunction>());
  List.Add(MakeRef<TUpperCaseFunction>());
  List.Add(MakeRef<TStrFormatFunction>());
}

}  // namespace rulecraft
