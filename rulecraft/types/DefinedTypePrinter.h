#pragma once
// The rule-language text of defined types: the deftype construct and the allowed-value clauses. The
// engine's parser writes defined types through these functions; a type without an engine prints itself
// with them too.
//
// Layout of a named type (indent four blanks, CR LF line breaks):
//   (deftype NAME
//       "COMMENT"                      only with a comment
//       extends (type TYPES)           the base types, or the ancestor's name
//       CLAUSE                         one line per clause
//   )
// An implicit type belongs to one slot and writes only its clauses, each preceded by one blank, so that
// the slot can append them right after its name: " (range 0 10) (allowed-integers 1 2 3)".
#include <string>

namespace rulecraft {

class TIEDefinedType;
class TIFuzzyVariable;

/// The deftype text of a named type, or the constraint clauses of an implicit one.
std::string PrettyPrintDefinedType(const TIEDefinedType& Type);
/// The body of a fuzzy deftype: indented "(range FROM TO)", "(units U)" when there are units, and
/// "(values" with one "(term NAME SHAPE)" per term on lines of their own, each clause ending its line.
std::string PrettyPrintFuzzyVariable(const TIFuzzyVariable& Variable);
/// The allowed-value clauses of the type, separated by one blank; the empty text without constraints.
/// One clause per kind present, in this order: "(allowed-values ...)" when all four kinds are present;
/// otherwise "(allowed-numbers ...)" for integers and floats together, else "(allowed-integers ...)" or
/// "(allowed-floats ...)"; then "(allowed-lexemes ...)" for symbols and strings together, else
/// "(allowed-symbols ...)" or "(allowed-strings ...)". Integers before floats, symbols before strings, each
/// in insertion order; strings in double quotes, floats with four decimals.
std::string PrettyPrintAllowedValues(const TIEDefinedType& Type);

}  // namespace rulecraft
