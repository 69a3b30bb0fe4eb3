#pragma once
// Named constants shared by every subsystem.
#include <cstdint>

namespace rulecraft {

inline constexpr int32_t LocalBindingIndex = -2;
inline constexpr int32_t NoSubIndex = -1;
inline constexpr const char* IndentString = "    ";
/// The engine's line break. Hosts translate it for their platform.
inline constexpr const char* NewLineString = "\r\n";
inline constexpr int32_t DefaultPrintMargin = 200;
inline constexpr const char* SFactPrefix = "__factidx";
inline constexpr const char* SEqStarPrefix = "_eq_";
inline constexpr const char* SBackChainPrefix = "need-";
inline constexpr const char* SBlankMulti = "_blank_$";
inline constexpr const char* SBlankPrefix = "_blank_";
inline constexpr const char* SDefaultSlotName = "__Data";
inline constexpr const char* STestCE = "test";
inline constexpr const char* SLocalBinding = "__LOCAL";
inline constexpr const char* SPatternBinding = "__PATTERN";
inline constexpr const char* SRuleBinding = "__RULE";
/// The variable a try block's catch part reads the caught error's message from.
inline constexpr const char* SErrorBinding = "__ERROR";
inline constexpr const char* SInitialFactPattern = "Initial-Fact";
inline constexpr const char* SInitialFact = "(Initial-Fact)";
inline constexpr const char* SNullFact = "__NOT-OR-TEST-CE*";
inline constexpr const char* SMultiSlotVar = "$?__var";
inline constexpr const char* SSlotVar = "?__var";
inline constexpr const char* SFunctionError = "%s error: %s";
inline constexpr const char* CommentFormat = "%s";
inline constexpr const char* SyntaxFormat = "     syntax: %s";
inline constexpr const char* CLIPSSyntaxFormat = "(%s)";
inline constexpr const char* SImplicitDefinedType = "implicit";
inline constexpr const char* STypeSymbolKeyword = "SYMBOL";
inline constexpr const char* STypeAtomKeyword = "ATOM";
inline constexpr const char* STypeStringKeyword = "STRING";
inline constexpr const char* STypeIntegerKeyword = "INTEGER";
inline constexpr const char* STypeFloatKeyword = "FLOAT";
inline constexpr const char* STypeLexemeKeyword = "LEXEME";
inline constexpr const char* STypeNumberKeyword = "NUMBER";
inline constexpr const char* STypeClassKeyword = "CLASS";
inline constexpr const char* STypeDescriptorKeyword = "DESCRIPTOR";
inline constexpr const char* STypeObjectKeyword = "OBJECT";
inline constexpr const char* STypeExternalAddrKeyword = "EXTERNALADDRESS";
inline constexpr const char* STypeFuzzyKeyword = "FUZZY";
inline constexpr const char* STypeFactKeyword = "FACT";
inline constexpr const char* STypeFactIdKeyword = "FACTID";
inline constexpr const char* STypeVariableKeyword = "?VARIABLE";

}  // namespace rulecraft
