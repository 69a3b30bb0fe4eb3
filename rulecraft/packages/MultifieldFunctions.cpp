#include "rulecraft/packages/MultifieldFunctions.h"

#include <string>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/functions/Context.h"
#include "rulecraft/functions/FunctionCall.h"

namespace rulecraft {

namespace {

constexpr int32_t Unbounded = 2147483647;
/// How deep the lists built here may nest.
constexpr int32_t MaxNesting = 1000;

[[maybe_unused]] const bool ClassesRegistered = [] {
  for (TClass Class :
       {TCreateMFFunction::StaticClass(), TDeleteMFFunction::StaticClass(), TExplodeMFFunction::StaticClass(),
        TFirstMFFunction::StaticClass(), TImplodeMFFunction::StaticClass(), TInsertMFFunction::StaticClass(),
        TLengthMFFunction::StaticClass(), TMemberMFFunction::StaticClass(), TNthMFFunction::StaticClass(),
        TReplaceMFFunction::StaticClass(), TRestMFFunction::StaticClass(), TSubseqMFFunction::StaticClass(),
        TSubsetpFunction::StaticClass()})
    RegisterClass(Class);
  return true;
}();

/// The multifield of a value (an empty one for a list value without a vector); the list conversion error
/// for any other kind.
IValueVector ListOf(const TIEValue& Value) {
  IValueVector List = Value.GetAsList();
  return List ? List : MakeRef<TValueVector>();
}

IValueVector ListArgument(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  return ListOf(*ResolveArgument(FunCall, Index, Context));
}

int32_t IntegerArgument(TFunctionCall& FunCall, int32_t Index, TIEContext* Context) {
  return ResolveArgument(FunCall, Index, Context)->GetAsInteger();
}

[[noreturn]] void IndexError(int32_t Index) { throw EIEException(SListIndexOutOfBounds, {Index}); }

/// True when Value holds lists nested more than Levels deep (a list holding no list is one level). The
/// walk stops at the limit, so a list holding itself is simply too deep.
bool NestsDeeperThan(const TIEValue& Value, int32_t Levels) {
  if (Value.GetDType() != dtList) return false;
  if (Levels <= 0) return true;
  const IValueVector List = Value.GetAsList();
  if (!List) return false;
  for (const IIEValue& Element : *List)
    if (Element && NestsDeeperThan(*Element, Levels - 1)) return true;
  return false;
}

/// A copy of Value to be put in a new list; refused when the list would nest too deep.
IIEValue CopyForList(const IIEValue& Value) {
  if (NestsDeeperThan(*Value, MaxNesting - 1)) throw EIEException(SListNestingTooDeep, {MaxNesting});
  return Value->Clone();
}

/// An element of a list resolved in Context and copied.
IIEValue CopiedElement(const IIEValue& Element, TIEContext* Context) {
  return CopyForList(ResolveIn(Element, Context));
}

/// Begin and end of a range (arguments 1 and 2, in that order); begin above end raises.
void RangeArguments(TFunctionCall& FunCall, TIEContext* Context, int32_t& Begin, int32_t& End) {
  Begin = IntegerArgument(FunCall, 1, Context);
  End = IntegerArgument(FunCall, 2, Context);
  if (Begin > End) throw EIEException(SInvalidMFParameters, {Begin, End});
}

/// A new list holding copies of the elements of Source outside Begin..End, in order.
IValueVector CopyOutside(const TValueVector& Source, int32_t Begin, int32_t End, TIEContext* Context) {
  IValueVector Copy = MakeRef<TValueVector>();
  for (int32_t I = 0; I < Source.GetValueCount(); ++I)
    if (I < Begin || I > End) Copy->Add(CopiedElement(Source.Get(I), Context));
  return Copy;
}

/// Inserts a copy of each argument from First on at Position, each at that same position.
void InsertArguments(TValueVector& List, int32_t Position, TFunctionCall& FunCall, int32_t First,
                     TIEContext* Context) {
  for (int32_t I = First; I < FunCall.GetArgumentCount(); ++I) {
    IIEValue Copy = CopyForList(ResolveArgument(FunCall, I, Context));
    if (Position < 0 || Position > List.GetValueCount()) IndexError(Position);
    List.Insert(Position, std::move(Copy));
  }
}

IIEValue ListValue(const IValueVector& List) { return MakeRef<TIEValue>(List); }

/// The first characters of the text that explode$ drops at either end: blanks and control characters.
bool IsBlankOrControl(char C) { return static_cast<unsigned char>(C) <= ' '; }

}  // namespace

TCreateMFFunction::TCreateMFFunction()
    : TIEUserFunction("create$", 0, Unbounded,
                      FunctionComment("Creates and returns a multifield value (list) from the arguments"),
                      " <expression>*") {}

void TCreateMFFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  IValueVector List = MakeRef<TValueVector>();
  List->Reserve(FunCall.GetArgumentCount());
  for (int32_t I = 0; I < FunCall.GetArgumentCount(); ++I)
    List->Add(CopyForList(ResolveArgument(FunCall, I, Context)));
  Result = ListValue(List);
}

TDeleteMFFunction::TDeleteMFFunction()
    : TIEUserFunction(
          "delete$", 3, 3,
          FunctionComment("Returns a new multifield value that is a clone of the <multifield-expression> "
                          "where every item in the range specified by the <start-integer-expression> to "
                          "<end-integer-expression> has been deleted.  Note that the first item in the "
                          "multifield has an index of 0"),
          SMultifieldRangeArguments) {}

void TDeleteMFFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  int32_t Begin = 0;
  int32_t End = 0;
  RangeArguments(FunCall, Context, Begin, End);
  Result = ListValue(CopyOutside(*ListArgument(FunCall, 0, Context), Begin, End, Context));
}

TExplodeMFFunction::TExplodeMFFunction()
    : TIEUserFunction("explode$", 1, 1,
                      FunctionComment("Creates a multifield value (list) where every item in the list is a "
                                      "seperate symbol from the <string-expression>"),
                      " <string-expression> ") {}

void TExplodeMFFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const std::string Text = ResolveArgument(FunCall, 0, Context)->GetAsString();
  size_t Begin = 0;
  size_t End = Text.size();
  while (Begin < End && IsBlankOrControl(Text[Begin])) ++Begin;
  while (End > Begin && IsBlankOrControl(Text[End - 1])) --End;
  IValueVector List = MakeRef<TValueVector>();
  // Pieces are separated by blanks only; a run of blanks is one separator.
  size_t Pos = Begin;
  while (Pos < End) {
    const size_t Blank = Text.find(' ', Pos);
    const size_t PieceEnd = Blank == std::string::npos || Blank > End ? End : Blank;
    if (PieceEnd > Pos) List->Add(MakeRef<TIEValue>(Text.substr(Pos, PieceEnd - Pos), dtAtom));
    Pos = PieceEnd + 1;
  }
  Result = ListValue(List);
}

TFirstMFFunction::TFirstMFFunction()
    : TIEUserFunction("first$", 1, 1,
                      FunctionComment("Returns the first item in the <multifield-expression> or NIL if the "
                                      "multifield is empty"),
                      SMultifieldArgument) {}

void TFirstMFFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const IValueVector List = ListArgument(FunCall, 0, Context);
  Result = List->GetValueCount() == 0 ? FCNil : ResolveIn(List->Get(0), Context);
}

TImplodeMFFunction::TImplodeMFFunction()
    : TIEUserFunction("implode$", 1, 1,
                      FunctionComment("Creates and returns a space delimited string which is the "
                                      "concatenation of all the items in the <multifield-expression>"),
                      SMultifieldArgument) {}

void TImplodeMFFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const IValueVector List = ListArgument(FunCall, 0, Context);
  std::string Text;
  for (int32_t I = 0; I < List->GetValueCount(); ++I) {
    if (I > 0) Text += ' ';
    Text += ResolveIn(List->Get(I), Context)->GetAsString();
  }
  Result = MakeRef<TIEValue>(Text, dtString);
}

TInsertMFFunction::TInsertMFFunction()
    : TIEUserFunction(
          "insert$", 2, Unbounded,
          FunctionComment("Creates and returns a multifield value (list).  The <multifield-expression> is "
                          "evaluated and then the subsequent evaluated expressions are inserted into the "
                          "multifield at the index specified by <integer-expression>.  The item that "
                          "previously occupied that position (and all subsequent items) are moved up"),
          " <multifield-expression> <integer-expression> <expression>*") {}

void TInsertMFFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  IValueVector List = ListArgument(FunCall, 0, Context)->Clone();
  const int32_t Position = IntegerArgument(FunCall, 1, Context);
  InsertArguments(*List, Position, FunCall, 2, Context);
  Result = ListValue(List);
}

TLengthMFFunction::TLengthMFFunction()
    : TIEUserFunction("length$", 1, 1,
                      FunctionComment("Returns the number of items in the <multifield-expression>"),
                      SMultifieldArgument) {}

void TLengthMFFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = MakeRef<TIEValue>(ListArgument(FunCall, 0, Context)->GetValueCount(), dtInteger);
}

TMemberMFFunction::TMemberMFFunction()
    : TIEUserFunction(
          "member$", 2, 2,
          FunctionComment("Returns the index of the first entry in the <multifield-expression> list that "
                          "equals the specified <expression>.  The first item has index 0, the second "
                          "item has index 1, and so on.  If the expression is not in the list, the "
                          "function returns FALSE.  If the expression appears more than once in the "
                          "multifield, the function returns the index of the first appearance"),
          " <expression> <multifield-expression>") {}

void TMemberMFFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const IIEValue Wanted = ResolveArgument(FunCall, 0, Context);
  const IValueVector List = ListArgument(FunCall, 1, Context);
  for (int32_t I = 0; I < List->GetValueCount(); ++I) {
    if (ResolveIn(List->Get(I), Context)->Equals(Wanted)) {
      Result = MakeRef<TIEValue>(I, dtInteger);
      return;
    }
  }
  Result = FCFalse;
}

TNthMFFunction::TNthMFFunction()
    : TIEUserFunction(
          "nth$", 2, 2,
          FunctionComment("Returns the value at the specified index in the <multifield-expression> list.  "
                          "The first item has index 0, the second item has index 1, and so on"),
          " <integer-expression> <multifield-expression>") {}

void TNthMFFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const int32_t Index = IntegerArgument(FunCall, 0, Context);
  const IValueVector List = ListArgument(FunCall, 1, Context);
  if (Index < 0 || Index >= List->GetValueCount()) IndexError(Index);
  const IIEValue& Element = List->Get(Index);
  Result = Element ? Element : FCNil;
}

TReplaceMFFunction::TReplaceMFFunction()
    : TIEUserFunction(
          "replace$", 3, Unbounded,
          FunctionComment("Returns a multifield value (list) which is a copy of the "
                          "<multifield-expression> where the items in the range of "
                          "<start-integer-expression> to <end-integer-expression> have been replaced by "
                          "the subsequent arguments.  For purposes of the range, the "
                          "<multifield-expression> is indexed starting from 0"),
          " <multifield-expression> <start-integer-expression> <end-integer-expression> <expression>*") {}

void TReplaceMFFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  int32_t Begin = 0;
  int32_t End = 0;
  RangeArguments(FunCall, Context, Begin, End);
  IValueVector List = CopyOutside(*ListArgument(FunCall, 0, Context), Begin, End, Context);
  InsertArguments(*List, Begin, FunCall, 3, Context);
  Result = ListValue(List);
}

TRestMFFunction::TRestMFFunction()
    : TIEUserFunction("rest$", 1, 1,
                      FunctionComment("Returns a multifield value containing all the fields in "
                                      "<multifield-expression> except the first field"),
                      " <multifield-expression>") {}

void TRestMFFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const IValueVector Source = ListArgument(FunCall, 0, Context);
  if (Source->GetValueCount() == 0) IndexError(0);
  IValueVector List = Source->Clone();
  List->Delete(0);
  Result = ListValue(List);
}

TSubseqMFFunction::TSubseqMFFunction()
    : TIEUserFunction("subseq$", 3, 3,
                      FunctionComment("Returns a multifield value containing all the fields in "
                                      "<multifield-expression> between the <start-integer-expression> and "
                                      "<end-integer-expression>.  The multifield is a zero-based list"),
                      SMultifieldRangeArguments) {}

void TSubseqMFFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  int32_t Begin = 0;
  int32_t End = 0;
  RangeArguments(FunCall, Context, Begin, End);
  const IValueVector Source = ListArgument(FunCall, 0, Context);
  if (Begin < 0) IndexError(Begin);
  if (End >= Source->GetValueCount()) IndexError(End);
  IValueVector List = MakeRef<TValueVector>();
  List->Reserve(End - Begin + 1);
  for (int32_t I = Begin; I <= End; ++I) List->Add(CopiedElement(Source->Get(I), Context));
  Result = ListValue(List);
}

TSubsetpFunction::TSubsetpFunction()
    : TIEUserFunction(
          "subsetp", 2, 2,
          FunctionComment("Returns TRUE if the first argument is a subset of the second argument, FALSE "
                          "otherwise"),
          " <expression> <multifield-expression>") {}

void TSubsetpFunction::Evaluate(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const IIEValue First = ResolveArgument(FunCall, 0, Context);
  IValueVector Sub;
  if (First->GetDType() == dtList) {
    Sub = ListOf(*First);
  } else {
    Sub = MakeRef<TValueVector>();
    Sub->Add(First);
  }
  const IValueVector List = ListArgument(FunCall, 1, Context);
  const int32_t Length = Sub->GetValueCount();
  // The empty list is a subset of every list.
  bool Found = Length == 0;
  for (int32_t Start = 0; !Found && Start + Length <= List->GetValueCount(); ++Start) {
    Found = true;
    for (int32_t K = 0; Found && K < Length; ++K) {
      const IIEValue& Wanted = Sub->Get(K);
      Found = Wanted && ResolveIn(List->Get(Start + K), Context)->Equals(Wanted);
    }
  }
  Result = Found ? FCTrue : FCFalse;
}

}  // namespace rulecraft
