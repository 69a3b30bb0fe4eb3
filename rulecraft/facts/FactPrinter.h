#pragma once
// The printed forms of templates, template slots and facts, as rule-language text that reads back. These are
// the stand-alone printer for objects that belong to no engine; the engine's printer uses them as well.
#include <string>

#include "rulecraft/core/Value.h"

namespace rulecraft {

class TFact;
class TFactSlot;
class TFactTemplate;

/// "(deftemplate name "comment"", the parent as "extends name" on its own line, then one indented line per
/// slot and ")"; an ordered template typed by a named defined type as "(deftemplate name is-a type)".
std::string PrettyPrintTemplate(const TFactTemplate& Template);
/// "(slot name ...)" or "(multislot name ...)" with the slot's constraints and default.
std::string PrettyPrintTemplateSlot(const TFactSlot& Slot);
/// "(template v1 v2)" for an ordered fact, "(template (slot value) (multislot v1 v2))" otherwise.
std::string PrettyPrintFact(const TFact& Fact);
/// One slot of a fact: "(name values)".
std::string PrettyPrintFactSlot(const TFact& Fact, const std::string& Name);
std::string PrettyPrintFactSlot(const TFact& Fact, const std::string& Name, const IIEValue& Value);
/// A value as it stands inside a fact: the elements of a list separated by blanks, otherwise its text form.
std::string FactValueText(const IIEValue& Value);
/// Text in double quotes with backslashes and double quotes escaped, as a string value prints.
std::string QuotedText(const std::string& Text);
/// Text with every line break followed by the indent, for nesting one construct's text in another's.
std::string IndentText(const std::string& Text);

}  // namespace rulecraft
