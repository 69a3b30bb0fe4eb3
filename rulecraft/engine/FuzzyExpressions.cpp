// Fuzzy expressions: a term name, a number, a point list or a call, modified by hedges and combined with the
// keywords "and" and "or", evaluated against a fuzzy variable; the fuzzy-equality threshold; the automatic
// terms of a fuzzy type; the text chart of fuzzy values.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/IEFuzzy.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/engine/EngineCollections.h"
#include "rulecraft/engine/EngineParser.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/framework/Format.h"
#include "rulecraft/fuzzyset/FuzzySet.h"
#include "rulecraft/types/DefinedType.h"

namespace rulecraft {

namespace {

// What an item of an expression sequence is.
enum TItemKind : uint8_t { ikOperand, ikOpen, ikClose, ikKeyword, ikHedgeOperator, ikHedge };

struct TItem {
  IIEValue Value;
  TItemKind Kind = ikOperand;
  std::string Word;  // the text of an operator or bracket
};

TItem Classify(const IIEValue& Value) {
  TItem Item{Value, ikOperand, std::string()};
  if (!Value || (Value->GetDType() != dtAtom && Value->GetDType() != dtString)) return Item;
  const std::string Word = Value->GetAsString();
  if (Word == "[")
    Item.Kind = ikOpen;
  else if (Word == "]")
    Item.Kind = ikClose;
  else if (IsFuzzyKeyword(Word))
    Item.Kind = ikKeyword;
  else if (IsFuzzyHedgeOperator(Word))
    Item.Kind = ikHedgeOperator;
  else if (IsFuzzyHedge(Word))
    Item.Kind = ikHedge;
  else
    return Item;
  Item.Word = Word;
  return Item;
}

// Precedences of the conversion to postfix order: an incoming operator first moves to the output every
// stacked item whose stack precedence is not greater than its own incoming precedence. A hedge operator
// ("not") is a prefix operator like a hedge and takes a hedge's precedences: with a keyword's, "warm and not
// hot" would move "and" to the output before its second operand exists.
int StackPrecedence(TItemKind Kind) {
  switch (Kind) {
    case ikOpen:
      return 4;
    case ikKeyword:
      return 3;
    case ikHedge:
    case ikHedgeOperator:
      return 2;
    default:
      return 1;
  }
}

int IncomingPrecedence(TItemKind Kind) {
  if (Kind == ikOpen) return 0;
  if (Kind == ikHedge || Kind == ikHedgeOperator) return 1;
  return StackPrecedence(Kind);
}

// True when Text combines operands with a keyword outside brackets ("hot or cold", not "very [hot or cold]").
bool IsCompound(const std::string& Text) {
  int Depth = 0;
  size_t Start = 0;
  for (size_t I = 0; I <= Text.size(); ++I) {
    if (I == Text.size() || Text[I] == ' ') {
      if (Depth == 0 && I > Start && IsFuzzyKeyword(Text.substr(Start, I - Start))) return true;
      Start = I + 1;
    } else if (Text[I] == '[') {
      ++Depth;
    } else if (Text[I] == ']') {
      --Depth;
    }
  }
  return false;
}

}  // namespace

// ---- evaluation ------------------------------------------------------------------------------------------

IFuzzySet TInferenceEngine::EvalFuzzyItem(TIFuzzyVariable* Variable, const IIEValue& Value,
                                          TIEContext* Context) {
  // Nil (no value, or the empty atom the engine writes as nil) stands for the empty set.
  if (!Value || Value->GetDType() == dtNone ||
      (Value->GetDType() == dtAtom && Value->GetAsString().empty())) {
    if (!Variable) throw EIEException(std::string(SUndefinedFuzzyVariable));
    return Variable->FindFuzzySet(SFuzzyEmptySet);
  }
  switch (Value->GetDType()) {
    case dtInteger:
    case dtFloat: {
      // A crisp value: membership 1 at the number only.
      IFuzzySet Set = NewEngineFuzzySet(Variable, this);
      const double X = Value->GetAsNumeric();
      Set->SetTriangle(X, X, X);
      Set->SetExpression(Value->GetToString());  // written as the number, which reads back as this set
      return Set;
    }
    case dtAtom:
    case dtString: {
      if (!Variable) throw EIEException(std::string(SUndefinedFuzzyVariable));
      const std::string Name = Value->GetAsString();
      if (IFuzzySet Term = Variable->FindFuzzySet(Name)) return Term;
      throw EIEException(SInvalidFuzzyToken, {Name});
    }
    case dtVariable:
    case dtFunCall:
      if (Context) {
        IIEValue Resolved;
        Value->Resolve(Context, Resolved);
        if (Resolved.get() != Value.get()) return EvalFuzzyItem(Variable, Resolved, Context);
      }
      break;
    case dtList:
      return EvalFuzzyExpression(Variable, Value->GetAsList(), Context);
    case dtSingletons: {
      IIEValue Resolved;
      Value->Resolve(Context ? Context : FContext.get(), Resolved);
      if (!Resolved || Resolved->GetDType() != dtFuzzy) break;
      IFuzzySet Set = Resolved->GetAsFuzzy();
      if (Set && Variable && Set->GetVariable() != Variable) Set->SetVariable(Variable);
      if (auto* Engine = dynamic_cast<TIEFuzzySet*>(Set.get())) Engine->SetReasoner(this);
      return Set;
    }
    case dtFuzzy:
      return Value->GetAsFuzzy();
    default:
      break;
  }
  throw EIEException(SInvalidFuzzyToken, {Value->GetToString()});
}

std::vector<IFuzzySet> TInferenceEngine::EvalFuzzySequence(TIFuzzyVariable* Variable,
                                                           const IValueVector& Items, TIEContext* Context) {
  // Infix to postfix, one output sequence per expression: an operand right after an operand starts the next.
  std::vector<std::vector<TItem>> Outputs(1);
  std::vector<TItem> Stack;
  int OpenBrackets = 0;
  bool LastWasOperand = false;
  // Moves the stacked operators down to the innermost open bracket (all of them outside brackets) to the
  // output.
  auto Flush = [&]() {
    while (!Stack.empty() && Stack.back().Kind != ikOpen) {
      Outputs.back().push_back(std::move(Stack.back()));
      Stack.pop_back();
    }
  };
  const int32_t Count = Items ? Items->GetValueCount() : 0;
  for (int32_t I = 0; I < Count; ++I) {
    TItem Item = Classify(Items->Get(I));
    switch (Item.Kind) {
      case ikOperand:
        if (LastWasOperand && OpenBrackets == 0) {
          Flush();
          Outputs.emplace_back();
        }
        Outputs.back().push_back(std::move(Item));
        LastWasOperand = true;
        continue;
      case ikClose:
        Flush();
        if (Stack.empty()) throw EIEException(SInvalidFuzzyToken, {Item.Word});
        Stack.pop_back();
        --OpenBrackets;
        // A closed group is an operand: an operand right after it starts the next expression.
        LastWasOperand = true;
        continue;
      case ikOpen:
      case ikHedge:
      case ikHedgeOperator:
        // A prefix item right after a complete operand begins the next expression too ("hot very cold" is
        // hot, then very cold).
        if (LastWasOperand && OpenBrackets == 0) {
          Flush();
          Outputs.emplace_back();
        }
        if (Item.Kind == ikOpen) ++OpenBrackets;
        [[fallthrough]];
      default: {
        const int Incoming = IncomingPrecedence(Item.Kind);
        while (!Stack.empty() && StackPrecedence(Stack.back().Kind) <= Incoming) {
          Outputs.back().push_back(std::move(Stack.back()));
          Stack.pop_back();
        }
        Stack.push_back(std::move(Item));
        LastWasOperand = false;
      }
    }
  }
  if (OpenBrackets > 0) throw EIEException(std::string(SMissingFuzzyCloseBracket));
  Flush();

  // Each postfix sequence with an operand stack.
  std::vector<IFuzzySet> Results;
  for (const std::vector<TItem>& Output : Outputs) {
    if (Output.empty()) continue;
    std::vector<IFuzzySet> Operands;
    auto Pop = [&](const TItem& For) {
      if (Operands.empty()) throw EIEException(SMissingFuzzyOperand, {For.Word});
      IFuzzySet Top = std::move(Operands.back());
      Operands.pop_back();
      return Top;
    };
    for (const TItem& Item : Output) {
      switch (Item.Kind) {
        case ikOperand: {
          IFuzzySet Set = EvalFuzzyItem(Variable, Item.Value, Context);
          if (!Set) throw EIEException(SInvalidFuzzyToken, {Item.Value ? Item.Value->GetToString() : ""});
          Operands.push_back(std::move(Set));
          break;
        }
        case ikHedge:
        case ikHedgeOperator: {
          // Hedges change a set in place: a term or a shared value is hedged in a copy.
          IFuzzySet Set = Pop(Item)->Clone();
          Set->Hedge(Item.Word);
          Operands.push_back(std::move(Set));
          break;
        }
        case ikKeyword: {
          IFuzzySet Right = Pop(Item);
          IFuzzySet Left = Pop(Item);
          TFuzzyKeyword Keyword = fkAnd;
          IsFuzzyKeyword(Item.Word, &Keyword);
          IFuzzySet Set = Keyword == fkOr ? Left->Union(*Right) : Left->Intersection(*Right);
          // Each side as it prints: its expression, else its name, else its shape.
          std::string RightText = Right->GetToString();
          if (IsCompound(RightText)) RightText = "[" + RightText + "]";
          Set->SetExpression(Left->GetToString() + " " + Item.Word + " " + RightText);
          if (auto* Engine = dynamic_cast<TIEFuzzySet*>(Set.get())) Engine->SetReasoner(this);
          Operands.push_back(std::move(Set));
          break;
        }
        default:
          break;
      }
    }
    if (Operands.empty()) continue;
    if (Operands.size() != 1) throw EIEException(SInvalidFuzzyExpression, {Items->GetToString()});
    Results.push_back(std::move(Operands.back()));
  }
  return Results;
}

IFuzzySet TInferenceEngine::EvalFuzzyExpression(TIFuzzyVariable* Variable, const IIEValue& Value,
                                                TIEContext* Context) {
  return EvalFuzzyItem(Variable, Value, Context);
}

IFuzzySet TInferenceEngine::EvalFuzzyExpression(TIFuzzyVariable* Variable, const IValueVector& Items,
                                                TIEContext* Context) {
  const std::vector<IFuzzySet> Sets = EvalFuzzySequence(Variable, Items, Context);
  if (Sets.size() != 1)
    throw EIEException(SInvalidFuzzyExpression, {Items ? Items->GetToString() : std::string()});
  return Sets.front();
}

IIEValue TInferenceEngine::EvalFuzzyValue(TIFuzzyVariable* Variable, const IIEValue& Value,
                                          TIEContext* Context) {
  IValueVector List = MakeRef<TValueVector>();
  if (Value && Value->GetDType() == dtList) {
    for (const IFuzzySet& Set : EvalFuzzySequence(Variable, Value->GetAsList(), Context))
      List->Add(MakeRef<TIEValue>(Set));
  } else if (IFuzzySet Set = EvalFuzzyItem(Variable, Value, Context)) {
    List->Add(MakeRef<TIEValue>(Set));
  }
  return MakeRef<TIEValue>(List);
}

IFuzzySet TInferenceEngine::EvalFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text,
                                                TIEContext* Context) {
  return EvalFuzzyItem(Variable, FParser->ParseValue(Text), Context);
}

IFuzzySet TInferenceEngine::EvalFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text) {
  return EvalFuzzyExpression(Variable, Text, nullptr);
}

double TInferenceEngine::EvalFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text,
                                             IFuzzySet& Result) {
  Result = EvalFuzzyExpression(Variable, Text, nullptr);
  return Result ? Result->CrispValue() : 0.0;
}

IFuzzySet TInferenceEngine::ParseFuzzyExpression(TIFuzzyVariable* Variable, const std::string& Text) {
  return EvalFuzzyExpression(Variable, Text, FContext.get());
}

// ---- settings --------------------------------------------------------------------------------------------

namespace {

// The threshold a fuzzy variable receives: the double written the same as the single-precision setting
// (0.01f becomes 0.01, not 0.0099999998), so that a membership of exactly 0.01 is not above a threshold of
// 0.01.
double VariableThreshold(float Value) {
  char Text[32];
  const auto End = std::to_chars(Text, Text + sizeof Text, Value).ptr;
  double Result = Value;
  std::from_chars(Text, End, Result);
  return Result;
}

}  // namespace

void TInferenceEngine::SetFuzzyEqualsThreshold(float Value) {
  if (Value == FFuzzyEqualsThreshold) return;
  FFuzzyEqualsThreshold = Value < 0.0f ? 0.0f : (Value > 1.0f ? 1.0f : Value);
  if (std::isnan(Value)) FFuzzyEqualsThreshold = 0.0f;
  for (const IIEDefinedType& Type : FDefinedTypes->Items())
    if (Type && Type->GetFuzzyType())
      Type->GetFuzzyType()->SetThreshold(VariableThreshold(FFuzzyEqualsThreshold));
}

void TInferenceEngine::PrepareFuzzyType(TIEDefinedType& Type) {
  TIFuzzyVariable* Variable = Type.GetFuzzyType().get();
  if (!Variable) return;
  Variable->SetThreshold(VariableThreshold(FFuzzyEqualsThreshold));
  if (!FFuzzyAutoTerms) return;
  const double From = Variable->GetFrom(), To = Variable->GetTo();
  // Each term is shaped before it joins the variable, so a shape that fails adds nothing; the middle is
  // computed so that it stays finite for any finite universe.
  auto Add = [&](const char* Name, auto&& Shape) {
    if (Variable->FindFuzzySet(Name)) return;
    IFuzzySet Term = NewEngineFuzzySet(Variable, this);
    Shape(*Term);
    Term->SetName(Name);
    Variable->AddFuzzySet(Term);
  };
  Add(SFuzzyTermLow, [&](TIFuzzySet& Term) { Term.SetPoints({From, To}, {1.0, 0.0}); });
  Add(SFuzzyTermMedium, [&](TIFuzzySet& Term) { Term.SetTriangle(From, From / 2 + To / 2, To); });
  Add(SFuzzyTermHigh, [&](TIFuzzySet& Term) { Term.SetPoints({From, To}, {0.0, 1.0}); });
}

// ---- plotting --------------------------------------------------------------------------------------------

namespace {

constexpr int PlotColumns = 51;  // the ruler's width: ten sections of five columns
constexpr int PlotRows = 21;     // membership 1.00 down to 0.00 in steps of 0.05

}  // namespace

void TInferenceEngine::PlotFuzzySet(const std::string& OutID, const std::string& PlotChars, double Low,
                                    double High, const std::vector<IFuzzySet>& Sets,
                                    const std::string& VariableName) {
  if (Sets.empty()) return;
  TIFuzzyVariable* Variable = Sets.front()->GetVariable();
  if (!(Low < High)) {
    Low = Variable ? Variable->GetFrom() : 0.0;
    High = Variable ? Variable->GetTo() : 1.0;
    if (!(Low < High)) High = Low + 1.0;
  }
  const std::string NewLine = "\r\n";
  std::string Text =
      "Fuzzy Variable: " + (VariableName.empty() && Variable ? Variable->GetName() : VariableName) + NewLine +
      NewLine + "Fuzzy Values: ";
  auto CharOf = [&](size_t I) { return PlotChars.empty() ? '*' : PlotChars[I % PlotChars.size()]; };
  for (size_t I = 0; I < Sets.size(); ++I) {
    if (I > 0) Text += ", ";
    Text += Sets[I]->GetToString() + " (" + std::string(1, CharOf(I)) + ")";
  }
  Text += NewLine + NewLine;
  std::vector<std::string> Grid(PlotRows, std::string(PlotColumns, ' '));
  for (size_t I = 0; I < Sets.size(); ++I)
    for (int Column = 0; Column < PlotColumns; ++Column) {
      const double X = Low + (High - Low) * Column / (PlotColumns - 1);
      const double Mu = Sets[I]->DegreeOfMembership(X);
      const int Row = PlotRows - 1 - static_cast<int>(std::lround(Mu * (PlotRows - 1)));
      Grid[static_cast<size_t>(std::clamp(Row, 0, PlotRows - 1))][static_cast<size_t>(Column)] = CharOf(I);
    }
  for (int Row = 0; Row < PlotRows; ++Row) {
    std::string Line = Format("%4.2f", {static_cast<double>(PlotRows - 1 - Row) / (PlotRows - 1)}) + "   " +
                       Grid[static_cast<size_t>(Row)];
    while (!Line.empty() && Line.back() == ' ') Line.pop_back();
    Text += Line + NewLine;
  }
  std::vector<TFormatArg> Ticks;
  for (int I = 0; I <= 5; ++I) Ticks.emplace_back(Low + (High - Low) * I / 5);
  Text += "       |----|----|----|----|----|----|----|----|----|----|" + NewLine;
  Text += Format("%7.2f %9.2f %9.2f %9.2f %9.2f %9.2f", Ticks.data(), Ticks.size()) + NewLine + NewLine;
  Text += Format("Universe of Discourse: From %0.2f to %.2f", {Low, High}) + NewLine;
  PrintOut(OutID, Text);
}

void TInferenceEngine::PlotFuzzySet(const std::string& OutID, const std::string& PlotChars, double Low,
                                    double High, const IIEValue& Value) {
  if (Value && Value->GetDType() == dtList) {
    PlotFuzzySet(OutID, PlotChars, Low, High, Value->GetAsList());
    return;
  }
  if (Value && Value->GetDType() == dtFuzzy && Value->GetAsFuzzy())
    PlotFuzzySet(OutID, PlotChars, Low, High, std::vector<IFuzzySet>{Value->GetAsFuzzy()});
}

void TInferenceEngine::PlotFuzzySet(const std::string& OutID, const std::string& PlotChars, double Low,
                                    double High, const IValueVector& Values) {
  std::vector<IFuzzySet> Sets;
  for (int32_t I = 0; Values && I < Values->GetValueCount(); ++I)
    if (const IIEValue& Item = Values->Get(I); Item && Item->GetDType() == dtFuzzy && Item->GetAsFuzzy())
      Sets.push_back(Item->GetAsFuzzy());
  PlotFuzzySet(OutID, PlotChars, Low, High, Sets);
}

}  // namespace rulecraft
