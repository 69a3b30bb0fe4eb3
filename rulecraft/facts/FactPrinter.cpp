#include "rulecraft/facts/FactPrinter.h"

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/Helpers.h"
#include "rulecraft/core/ValueVector.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/facts/FactSlot.h"
#include "rulecraft/facts/FactTemplate.h"
#include "rulecraft/framework/Convert.h"
#include "rulecraft/types/DefinedTypePrinter.h"

namespace rulecraft {

std::string QuotedText(const std::string& Text) { return MakeRef<TIEValue>(Text, dtString)->GetToString(); }

std::string IndentText(const std::string& Text) {
  std::string Out;
  Out.reserve(Text.size());
  for (size_t I = 0; I < Text.size(); ++I) {
    Out += Text[I];
    if (Text[I] == '\n' && I > 0 && Text[I - 1] == '\r') Out += IndentString;
  }
  return Out;
}

std::string FactValueText(const IIEValue& Value) {
  if (!Value) return std::string();
  if (Value->GetDType() != dtList) return Value->GetToString();
  std::string Out;
  for (const IIEValue& Element : *Value->GetAsList()) {
    if (!Out.empty()) Out += ' ';
    if (Element) Out += Element->GetToString();
  }
  return Out;
}

namespace {

// The type keywords of a slot's kinds: the kind names without prefix in upper case, leaving out the kinds
// every slot accepts and the list kinds a multislot always has.
std::string TypeWords(TIETypes Kinds) {
  return UpperCase(SetToString(Kinds - IEAlwaysValidTypes - IEMultiSlotTypes, " ", false));
}

bool DefaultIsWritten(const IIEValue& Default) {
  if (!Default || Default == FCNil || Default == FCNilList || Default->Equals(FCNil.get())) return false;
  if (Default->GetDType() == dtList && Default->GetAsList()->GetValueCount() == 0) return false;
  return !Default->GetToString().empty();
}

std::string SlotClause(const std::string& Name, const std::string& Values) {
  return Values.empty() ? "(" + Name + ")" : "(" + Name + " " + Values + ")";
}

}  // namespace

std::string PrettyPrintTemplateSlot(const TFactSlot& Slot) {
  const TReadBackText ReadBack;
  const bool Multi = Slot.GetSlotType().Contains(dtMultiSlot) || Slot.IsMultiSlot();
  std::string Out = (Multi ? "(multislot " : "(slot ") + ReadBackWord(Slot.GetName());
  const IIEDefinedType& Type = Slot.GetExtendedTypeInfo();
  const TIETypes DefaultKinds = Multi ? IESlotTypes + IEMultiSlotTypes : IESlotTypes;
  if (Type && !Type->GetImplicit()) {
    Out += " (type " + Type->GetName() + ")";
  } else {
    // A slot's own constraints keep its type list too: without it a (type FLOAT) slot with a range would
    // read back accepting every kind.
    if (Slot.GetSlotType() != DefaultKinds) Out += " (type " + TypeWords(Slot.GetSlotType()) + ")";
    if (Type) {
      const std::string Clauses = Trim(PrettyPrintDefinedType(*Type));
      if (!Clauses.empty()) Out += " " + Clauses;
    }
  }
  const IIEValue& Default = Slot.GetSlotDefault();
  if (Slot.GetDefaultKind() == sdkNone)
    Out += " (default ?NONE)";
  else if (Slot.GetDefaultKind() == sdkDerive)
    Out += " (default ?DERIVE)";
  else if (DefaultIsWritten(Default))
    Out += (Slot.GetDefaultDynamic() ? " (default-dynamic " : " (default ") + FactValueText(Default) + ")";
  return Out + ")";
}

std::string PrettyPrintTemplate(const TFactTemplate& Template) {
  const TReadBackText ReadBack;
  std::string Out = "(deftemplate " + ReadBackWord(Template.GetTemplateName());
  if (!Template.GetComment().empty()) Out += " " + QuotedText(Template.GetComment());
  if (Template.GetParent())
    Out += NewLineString + std::string(IndentString) + "extends " + Template.GetParent()->GetTemplateName();
  if (Template.IsOrdered()) {
    const IFactSlot* Data = Template.FindSlot(SDefaultSlotName);
    const IIEDefinedType* Type = Data ? &(*Data)->GetExtendedTypeInfo() : nullptr;
    if (Type && *Type) {
      if ((*Type)->GetImplicit()) return Out + " " + PrettyPrintTemplateSlot(**Data) + ")";
      return Out + " is-a " + (*Type)->GetName() + ")";
    }
  }
  Out += NewLineString;
  for (const auto& Entry : Template.GetSlots())
    Out += IndentString + IndentText(PrettyPrintTemplateSlot(*Entry.Slot)) + NewLineString;
  return Out + ")";
}

std::string PrettyPrintFactSlot(const TFact& Fact, const std::string& Name, const IIEValue& Value) {
  (void)Fact;
  return SlotClause(WordText(Name), FactValueText(Value));
}

std::string PrettyPrintFactSlot(const TFact& Fact, const std::string& Name) {
  const IIEValue* Value = Fact.PeekValue(Name);
  return PrettyPrintFactSlot(Fact, Name, Value ? *Value : IIEValue());
}

std::string PrettyPrintFact(const TFact& Fact) {
  const IFactTemplate& Template = Fact.GetTemplate();
  if (!Template) return "()";
  std::string Out = "(" + WordText(Template->GetTemplateName());
  if (Template->IsOrdered()) {
    const IIEValue* Data = Fact.PeekValue(SDefaultSlotName);
    const std::string Values = Data ? FactValueText(*Data) : std::string();
    if (!Values.empty()) Out += " " + Values;
    return Out + ")";
  }
  for (const auto& Entry : Template->GetSlots()) {
    const IIEValue* Value = Fact.PeekValue(Entry.Name);
    if (Value && *Value) Out += " " + PrettyPrintFactSlot(Fact, Entry.Name, *Value);
  }
  return Out + ")";
}

}  // namespace rulecraft
