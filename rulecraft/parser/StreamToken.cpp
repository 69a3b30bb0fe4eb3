#include "rulecraft/parser/StreamToken.h"

#include <cmath>
#include <cstdint>

#include "rulecraft/core/Binding.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/core/ResolveContext.h"
#include "rulecraft/core/Value.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/framework/Format.h"

namespace rulecraft {

namespace {

// The decimal text of an integer token's number: the nearest integer, or the fixed form when the number
// is beyond any integer.
void AppendInteger(std::string& Out, double Number) {
  const double Rounded = std::nearbyint(Number);
  if (std::isfinite(Rounded) && std::fabs(Rounded) < 9.0e18)
    Out += IntToStr(static_cast<int64_t>(Rounded));
  else
    Out += Format("%.4f", {Number});
}

void AppendQuoted(std::string& Out, const std::string& Text) {
  Out += '"';
  for (char C : Text) {
    if (C == '"' || C == '\\') Out += '\\';
    Out += C;
  }
  Out += '"';
}

}  // namespace

void TIEStreamToken::CopyFrom(const TIEStreamToken& Source) {
  if (&Source == this) return;
  FDataType = Source.FDataType;
  FLineNumber = Source.FLineNumber;
  FNumber = Source.FNumber;
  FText = Source.FText;
  FTag = Source.FTag;
}

void TIEStreamToken::Assign(const TPersistent* Source) {
  if (const auto* Token = dynamic_cast<const TIEStreamToken*>(Source)) {
    CopyFrom(*Token);
    return;
  }
  TPersistent::Assign(Source);
}

void TIEStreamToken::Assign(const ICloneableRef& Source) {
  const auto* Token = dynamic_cast<const TIEStreamToken*>(Source.get());
  if (!Token) throw EConvertError("Interface not supported");
  CopyFrom(*Token);
}

void TIEStreamToken::AssignTo(TPersistent* Dest) const {
  if (auto* Token = dynamic_cast<TIEStreamToken*>(Dest)) {
    Token->CopyFrom(*this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

IStreamToken TIEStreamToken::Clone() const {
  IStreamToken Copy = MakeRef<TIEStreamToken>();
  Copy->CopyFrom(*this);
  return Copy;
}

bool TIEStreamToken::Equals(const ICloneable* Other) const {
  const auto* Token = dynamic_cast<const TIEStreamToken*>(Other);
  return Token && Token->FDataType == FDataType && Token->FLineNumber == FLineNumber &&
         Token->FNumber == FNumber;
}

void TIEStreamToken::AppendToString(std::string& Out) const {
  switch (FDataType) {
    case dtInteger:
      AppendInteger(Out, FNumber);
      return;
    case dtFloat:
      Out += Format("%.4f", {FNumber});
      return;
    case dtVariable:
      Out += '?';
      Out += FText;
      return;
    case dtMultiVariable:
      Out += "$?";
      Out += FText;
      return;
    case dtString:
      AppendQuoted(Out, FText);
      return;
    default:
      if (!FText.empty())
        Out += FText;
      else if (FDataType > 0 && FDataType < 256)
        Out += static_cast<char>(FDataType);
      return;
  }
}

std::string TIEStreamToken::GetToString() const {
  std::string Out;
  AppendToString(Out);
  return Out;
}

IIEValue TIEStreamToken::Value() const {
  switch (FDataType) {
    case dtNone:
      if (FText == "EOF") return FCEOF;
      break;
    case dtAtom:
      if (FText == FCTrue->Text()) return FCTrue;
      if (FText == FCFalse->Text()) return FCFalse;
      if (SameText(FText, "nil")) return FCNil;
      return MakeRef<TIEValue>(FText, dtAtom);
    case dtString:
    case dtVariable:
    case dtMultiVariable:
      return MakeRef<TIEValue>(FText, static_cast<TIEType>(FDataType));
    case dtInteger:
      // The nearest integer, wrapped into 32 bits as every float-to-integer conversion is.
      return MakeRef<TIEValue>(MakeRef<TIEValue>(std::nearbyint(FNumber))->GetAsInteger(), dtInteger);
    case dtFloat:
      return MakeRef<TIEValue>(FNumber);
    default:
      break;
  }
  return MakeRef<TIEValue>(IntToStr(FDataType), dtString);
}

IIEValue TIEStreamToken::Value(TResolveContext* Context) const {
  if (!Context || (FDataType != dtVariable && FDataType != dtMultiVariable)) return Value();
  TBinding* Binding = Context->FindBinding(FText);
  if (!Binding) throw EIEException(SUnknownVariable, {FText});
  if (Binding->GetValue()) return Binding->GetValue();
  // A binding that stands for a place in the partial match being evaluated.
  IIEValue Result;
  Context->ResolveBindingRecord(*Binding, Result);
  return Result;
}

void TIEStreamToken::SetValue(const IIEValue& Source) {
  FText.clear();
  FNumber = 0.0;
  if (!Source) {
    FDataType = dtNone;
    return;
  }
  const TIEType Kind = Source->GetDType();
  FDataType = Kind;
  switch (Kind) {
    case dtAtom:
    case dtString:
    case dtVariable:
    case dtMultiVariable:
    case dtSlot:
    case dtMultiSlot:
      FText = Source->Text();
      break;
    case dtInteger:
    case dtFactId:
    case dtDescriptor:
      FNumber = Source->GetAsInteger();
      break;
    case dtFloat:
      FNumber = Source->GetAsFloat();
      break;
    case dtObject:
      FNumber = static_cast<double>(reinterpret_cast<uintptr_t>(Source->GetAsObject()));
      break;
    case dtExternalAddress:
      FNumber = static_cast<double>(reinterpret_cast<uintptr_t>(Source->GetAsExternalAddress()));
      break;
    default:
      break;
  }
}

}  // namespace rulecraft
