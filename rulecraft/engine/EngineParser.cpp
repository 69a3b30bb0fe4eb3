#include "rulecraft/engine/EngineParser.h"

#include "rulecraft/fuzzyset/FuzzySet.h"

#include "rulecraft/engine/FactSet.h"
#include "rulecraft/facts/FactPrinter.h"
#include "rulecraft/functions/InterpretedFunction.h"
#include "rulecraft/rete/Pattern.h"
#include "rulecraft/rete/Rule.h"
#include "rulecraft/types/DefinedTypePrinter.h"

namespace rulecraft {

const TEnumInfo& TParsedTypeInfo() {
  static const TEnumInfo Info(
      "TParsedType", {"ptNone", "ptValue", "ptFunCall", "ptRule", "ptFactSet", "ptFactTemplate", "ptFunction",
                      "ptGlobals", "ptDefType", "ptEOF"});
  return Info;
}

std::string TEngineParser::PrettyPrint(const TFactTemplate& Template) {
  return PrettyPrintTemplate(Template);
}
std::string TEngineParser::PrettyPrint(const TFactSlot& Slot) { return PrettyPrintTemplateSlot(Slot); }
std::string TEngineParser::PrettyPrint(const TFact& Fact) { return PrettyPrintFact(Fact); }
std::string TEngineParser::PrettyPrint(const TFunctionCall& FunCall) { return PrettyPrintFunCall(FunCall); }
std::string TEngineParser::PrettyPrint(const TIEUserFunction& Function) {
  return PrettyPrintUserFunction(Function);
}
std::string TEngineParser::PrettyPrint(const TInterpretedFunction& Function) {
  return PrettyPrintInterpretedFunction(Function);
}
std::string TEngineParser::PrettyPrint(const TIEDefinedType& DefinedType) {
  return PrettyPrintDefinedType(DefinedType);
}
std::string TEngineParser::PrettyPrint(const TIFuzzyVariable& Variable) {
  return PrettyPrintFuzzyVariable(Variable);
}
std::string TEngineParser::PrettyPrint(const TIFuzzySet& Set) {
  if (Set.GetName().empty()) return Set.GetShapeText();
  return "(term " + Set.GetName() + " " + Set.GetShapeText() + ")";
}
std::string TEngineParser::PrettyPrint(const TIEPattern& Pattern) { return PrettyPrintPattern(Pattern); }
std::string TEngineParser::PrettyPrint(const TRule& Rule) { return PrettyPrintRule(Rule); }
std::string TEngineParser::PrettyPrint(const TFactSet& FactSet) { return PrettyPrintFactSet(FactSet); }

}  // namespace rulecraft
