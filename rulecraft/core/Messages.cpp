#include "rulecraft/core/Messages.h"

namespace rulecraft {

namespace {

// Entries marked "wording ours" have no established text; theirs says what the name means, with the
// placeholders a caller needs.
constexpr TMessageEntry Catalogue[] = {
    {"SInvalidName", SInvalidName},                  // wording ours
    {"SInvalidVariableName", SInvalidVariableName},  // wording ours
    {"SInvalidFileAccess", SInvalidFileAccess},
    {"SNoContext", SNoContext},
    {"SMissingNumeric", SMissingNumeric},
    {"SMissingComponent", SMissingComponent},
    {"SMissingFuzzyCloseBracket", SMissingFuzzyCloseBracket},
    {"SMissingOpenParens", SMissingOpenParens},
    {"SMissingCloseParens", SMissingCloseParens},
    {"SUnterminatedString", SUnterminatedString},
    {"SMissingCatchStatement", SMissingCatchStatement},
    {"SBadArgument", SBadArgument},
    {"SBadVariableName", SBadVariableName},
    {"SBadSlotName", SBadSlotName},
    {"SNoIndexNameMatch", SNoIndexNameMatch},
    {"SBadSlotValue", SBadSlotValue},
    {"SBadSlotType", SBadSlotType},
    {"SBadValue", SBadValue},  // wording ours
    {"SCannotWatch", SCannotWatch},
    {"SCannotUnWatch", SCannotUnWatch},
    {"SInvalidBackchainPattern", SInvalidBackchainPattern},
    {"SInvalidSlotDefault", SInvalidSlotDefault},
    {"SInvalidDefaultMultislotValue", SInvalidDefaultMultislotValue},
    {"SInvalidMultiSlotType", SInvalidMultiSlotType},  // wording ours
    {"SInvalidExistingSlotChange", SInvalidExistingSlotChange},
    {"SInvalidExistingMultiSlotChange", SInvalidExistingMultiSlotChange},
    {"SInvalidSlotQualifier", SInvalidSlotQualifier},
    {"SInvalidTestBinding", SInvalidTestBinding},
    {"SInvalidRuleFmt", SInvalidRuleFmt},  // wording ours
    {"SInvalidSubstrParameters", SInvalidSubstrParameters},
    {"SInvalidMFParameters", SInvalidMFParameters},
    {"SUnexpectedCharacters", SUnexpectedCharacters},  // wording ours
    {"SInvalidAgendaItem", SInvalidAgendaItem},
    {"SUnknownStrategy", SUnknownStrategy},  // wording ours
    {"SExpectedEqGT", SExpectedEqGT},
    {"SExpectedAtom", SExpectedAtom},
    {"SExpectedValue", SExpectedValue},
    {"SExpectedChar", SExpectedChar},
    {"SExpectedKeyword", SExpectedKeyword},
    {"SNotMultiSlot", SNotMultiSlot},
    {"SRequiredSlot", SRequiredSlot},
    {"SInvalidLowHiLimits", SInvalidLowHiLimits},  // wording ours
    {"SExpectedAssignment", SExpectedAssignment},
    {"SExpectedIntVarFun", SExpectedIntVarFun},
    {"SExpectedNumVarFun", SExpectedNumVarFun},
    {"SExpectedRuleProperty", SExpectedRuleProperty},
    {"SExpectedSalience", SExpectedSalience},  // wording ours
    {"SExpectedExtends", SExpectedExtends},
    {"SExpectedDeffacts", SExpectedDeffacts},
    {"SExpectedDefType", SExpectedDefType},
    {"SExpectedDefTemplate", SExpectedDefTemplate},
    {"SExpectedDefRule", SExpectedDefRule},
    {"SExpectedDefFunction", SExpectedDefFunction},
    {"SExpectedFuzzySet", SExpectedFuzzySet},
    {"SExpectedDefGlobal", SExpectedDefGlobal},
    {"SNestedNotCEs", SNestedNotCEs},  // wording ours
    {"SNoSuchSlot", SNoSuchSlot},
    {"SAtomNotEquals", SAtomNotEquals},
    {"SNotCorrectType", SNotCorrectType},
    {"SNotAllowedValue", SNotAllowedValue},
    {"SListCardinalityError", SListCardinalityError},
    {"SOutOfRangeError", SOutOfRangeError},
    {"SNotCorrectSlotType", SNotCorrectSlotType},
    {"SInvalidSlotValue", SInvalidSlotValue},  // wording ours
    {"SInvalidValueType", SInvalidValueType},
    {"SInvalidValue", SInvalidValue},
    {"SInvalidFuzzyValue", SInvalidFuzzyValue},
    {"STooFewArgs", STooFewArgs},
    {"STooManyArgs", STooManyArgs},
    {"SCorruptedToken", SCorruptedToken},  // wording ours
    {"SCorruptedVariable", SCorruptedVariable},
    {"SDuplicateDefTypeNames", SDuplicateDefTypeNames},
    {"SDuplicateFunctionNames", SDuplicateFunctionNames},
    {"SDuplicateTemplateNames", SDuplicateTemplateNames},
    {"SDuplicateRuleNames", SDuplicateRuleNames},
    {"SDuplicateStreamNames", SDuplicateStreamNames},
    {"SInvalidFunctionAdd", SInvalidFunctionAdd},
    {"SInvalidPatternBinding", SInvalidPatternBinding},
    {"SInvalidAddObject", SInvalidAddObject},  // wording ours
    {"SInvalidArgType", SInvalidArgType},
    {"SInvalidSlotName", SInvalidSlotName},  // wording ours
    {"SInvalidSlotType", SInvalidSlotType},
    {"SInvalidCallType", SInvalidCallType},
    {"SInvalidTokenAction", SInvalidTokenAction},
    {"SInvalidTokenHint", SInvalidTokenHint},
    {"SInvalidStreamName", SInvalidStreamName},
    {"SInvalidPtr", SInvalidPtr},
    {"SUnknownName", SUnknownName},
    {"SUnknownFactTemplate", SUnknownFactTemplate},  // wording ours
    {"SFactTemplatesDifferent", SFactTemplatesDifferent},
    {"SMissingName", SMissingName},
    {"SMissingTemplateName", SMissingTemplateName},  // wording ours
    {"SMissingDeffactsName", SMissingDeffactsName},  // wording ours
    {"SMissingParentTemplateName", SMissingParentTemplateName},
    {"SMissingIsaTypeName", SMissingIsaTypeName},
    {"SUnknownTypeName", SUnknownTypeName},
    {"SMissingParentDefinedTypeName", SMissingParentDefinedTypeName},  // wording ours
    {"SMissingThen", SMissingThen},
    {"SMultifieldLengthMismatch", SMultifieldLengthMismatch},
    {"SNoSuchFact", SNoSuchFact},
    {"SNoSuchFunction", SNoSuchFunction},
    {"SNoReadFunctionWarning", SNoReadFunctionWarning},
    {"SNoTemplate", SNoTemplate},
    {"SNoRule", SNoRule},
    {"SMissingRule", SMissingRule},  // wording ours
    {"SSyntaxError", SSyntaxError},
    {"SCannotChangeID", SCannotChangeID},  // wording ours
    {"SExpectedParenConstVar", SExpectedParenConstVar},
    {"SUnknownEngine", SUnknownEngine},
    {"SMissingFactSet", SMissingFactSet},  // wording ours
    {"SUnknownVariable", SUnknownVariable},
    {"SUnknownIEClassName", SUnknownIEClassName},  // wording ours
    {"SUnexpectedCharacter", SUnexpectedCharacter},
    {"SUnexpectedEOF", SUnexpectedEOF},
    {"SWrongFunctionName", SWrongFunctionName},  // wording ours
    {"SNegatedVariable", SNegatedVariable},
    {"SNegatedBindingUsedOutside", SNegatedBindingUsedOutside},
    {"SUsedBeforeBoundInNot", SUsedBeforeBoundInNot},
    {"SUnboundActionVariable", SUnboundActionVariable},            // wording ours
    {"SMultifieldVariableArgument", SMultifieldVariableArgument},  // wording ours
    {"SMultifieldVariableInSlot", SMultifieldVariableInSlot},      // wording ours
    {"SConstructWarning", SConstructWarning},                      // wording ours
    {"SParseError", SParseError},
    {"SNoParser", SNoParser},  // wording ours
    {"SMultipleParseError", SMultipleParseError},
    {"SParseTypeError", SParseTypeError},  // wording ours
    {"SBackChainCE", SBackChainCE},
    {"SBackChainFuncallPatterns", SBackChainFuncallPatterns},
    {"SNoSuchConstraint", SNoSuchConstraint},
    {"SInvalidConstraint", SInvalidConstraint},
    {"SUncloneableValue", SUncloneableValue},
    {"SEmptyBaseTypes", SEmptyBaseTypes},  // wording ours
    {"SCannotMixFuzzy", SCannotMixFuzzy},
    {"SMissingRange", SMissingRange},
    {"SMissingFuzzySetValues", SMissingFuzzySetValues},  // wording ours
    {"SMissingAllowedEnumeration", SMissingAllowedEnumeration},
    {"STypeInheritanceLoop", STypeInheritanceLoop},
    {"SNoMultiTypeInheritance", SNoMultiTypeInheritance},
    {"SFactTemplateInheritanceCorrupt", SFactTemplateInheritanceCorrupt},
    {"SDBTypeMismatch", SDBTypeMismatch},              // wording ours
    {"SDBMultiSlotNotString", SDBMultiSlotNotString},  // wording ours
    {"STypeInheritanceCorrupt", STypeInheritanceCorrupt},
    {"SMissingFuzzyOperand", SMissingFuzzyOperand},
    {"SInvalidFuzzyToken", SInvalidFuzzyToken},
    {"SNeedFuzzyType", SNeedFuzzyType},
    {"SDifferentFuzzyVariables", SDifferentFuzzyVariables},  // wording ours
    {"SInvalidFuzzyUnionTemplate", SInvalidFuzzyUnionTemplate},
    {"SNotFuzzyFact", SNotFuzzyFact},
    {"SInvalidFuzzyCorrelation", SInvalidFuzzyCorrelation},
    {"SInvalidFuzzyInference", SInvalidFuzzyInference},
    {"SInvalidIEFuzzyOperation", SInvalidIEFuzzyOperation},  // wording ours
    {"SInvalidFuzzyExpression", SInvalidFuzzyExpression},
    {"SUndefinedFuzzyVariable", SUndefinedFuzzyVariable},
    {"SFuzzyDefinitionError", SFuzzyDefinitionError},
    {"SFuzzySetIndexOutOfRange", SFuzzySetIndexOutOfRange},  // wording ours
    {"SPatternMatchError", SPatternMatchError},              // wording ours
    {"SInvalidSetItem", SInvalidSetItem},
    {"SDivByZero", SDivByZero},
    {"SInvalidOp", SInvalidOp},
    {"SZeroDivide", SZeroDivide},
    {"SOverflow", SOverflow},
    {"SListIndexOutOfBounds", SListIndexOutOfBounds},
    {"SListNestingTooDeep", SListNestingTooDeep},
    {"SStreamWriteFailed", SStreamWriteFailed},
    {"SStreamReadFailed", SStreamReadFailed},
    {"SNoEngineParser", SNoEngineParser},
    {"SParserBusy", SParserBusy},
    {"SWrongTokenizer", SWrongTokenizer},
    {"SWrongIEObject", SWrongIEObject},
    {"SNestingTooDeep", SNestingTooDeep},
    {"SParseNestingTooDeep", SParseNestingTooDeep},
    {"SFactLimitReached", SFactLimitReached},            // wording ours
    {"SFiringLimitReached", SFiringLimitReached},        // wording ours
    {"SInvalidFiringLimit", SInvalidFiringLimit},        // wording ours
    {"SEngineBusy", SEngineBusy},                        // wording ours
    {"SUnknownRule", SUnknownRule},                      // wording ours
    {"STooManyPartialMatches", STooManyPartialMatches},  // wording ours
    {"SNetworkBusy", SNetworkBusy},                      // wording ours
    {"SNetworkChanged", SNetworkChanged},                // wording ours
    {"SStringTooLong", SStringTooLong},                  // wording ours
    {"SMultifieldTooLong", SMultifieldTooLong},          // wording ours
    {"SFileAccessDenied", SFileAccessDenied},            // wording ours
    {"SFileOutsideSandbox", SFileOutsideSandbox},        // wording ours
    {"SSandboxNotDirectory", SSandboxNotDirectory},      // wording ours
    {"SUnsupportedConstruct", SUnsupportedConstruct},
    {"SCorruptedSubIndex", SCorruptedSubIndex},
    {"SImpliedTemplateComment", SImpliedTemplateComment},
    {"SSaveSectionRule", SSaveSectionRule},
    {"SNumericArgument", SNumericArgument},
    {"SNumericArguments", SNumericArguments},
    {"SNumericChainArguments", SNumericChainArguments},
    {"SPointArguments", SPointArguments},
    {"SMultifieldArgument", SMultifieldArgument},
    {"SMultifieldRangeArguments", SMultifieldRangeArguments},
    {"SMultifieldPairArguments", SMultifieldPairArguments},
    {"SAnyExpressionArguments", SAnyExpressionArguments},
    {"SEqualityArguments", SEqualityArguments},
    {"SLexemePairArguments", SLexemePairArguments},
    {"SFileNameArgument", SFileNameArgument},
    {"SWatchArguments", SWatchArguments},
    {"SVerifyTypeComment", SVerifyTypeComment},
    {"SWatchComment", SWatchComment},
    {"SInvalidDateEncode", SInvalidDateEncode},                // wording ours
    {"SInvalidTimeEncode", SInvalidTimeEncode},                // wording ours
    {"SInvalidDateValue", SInvalidDateValue},                  // wording ours
    {"SInvalidDateTimeText", SInvalidDateTimeText},            // wording ours
    {"SNoDialogHandler", SNoDialogHandler},                    // wording ours
    {"SInvalidDialogType", SInvalidDialogType},                // wording ours
    {"SNoConvergence", SNoConvergence},                        // wording ours
    {"SInvalidFinancialArgument", SInvalidFinancialArgument},  // wording ours
    {"SUnknownProperty", SUnknownProperty},                    // wording ours
    {"SNoParentProperty", SNoParentProperty},                  // wording ours
};

}  // namespace

const TMessageEntry* MessageCatalogue(int& Count) {
  Count = static_cast<int>(sizeof(Catalogue) / sizeof(Catalogue[0]));
  return Catalogue;
}

}  // namespace rulecraft
