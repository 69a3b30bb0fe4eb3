#pragma once
// Component streaming: a component writes its published properties as text and reads them back, so a host
// can store a configured component with its own data and restore it later.
//
// The text holds one object: "object <ClassName>", one property per line, "end". A property is
// "<Name> = <value>", where the name may be a path ("Rules.Rules": the list property Rules of the
// component's Rules property) and the value is one of
//   an identifier   dcIgnore, True, False       (enumeration members and booleans)
//   a number        -12, 0.5, 1e-07             (integers in decimal, floats in their shortest exact form)
//   a string        "text"                      (see below)
//   a set           [cwFact, cwRule]            (members of an enumeration set; [] is the empty set)
//   a string list   ( followed by one string per line and a closing ) on a line of its own
// A string is written between double quotes; a backslash introduces \\ (a backslash), \" (a quote), \r,
// \n, \t, or \xHH (any other byte below 32, and 127, as two hexadecimal digits). Other bytes stand for
// themselves, so text in any encoding passes unchanged. Lines may be indented with blanks; blank lines are
// ignored. Reading checks the whole text before a single property reaches the component, so a malformed text
// changes nothing.
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "rulecraft/framework/Exception.h"

namespace rulecraft {

class TComponent;

/// A text that cannot be read as a streamed component, or a property the component refuses.
class EReadError : public Exception {
 public:
  using Exception::Exception;
};

enum TStreamValueKind : uint8_t { svIdent, svInteger, svFloat, svString, svSet, svStrings };

/// One property as read from a text.
struct TStreamProperty {
  std::string Name;
  TStreamValueKind Kind = svIdent;
  /// The identifier, the number's text or the string.
  std::string Text;
  /// The set's members or the list's strings.
  std::vector<std::string> Items;
  /// The line of the text where the property starts (1-based).
  int32_t Line = 0;

  /// The value as a boolean (True or False, ignoring case); EReadError otherwise.
  bool AsBoolean() const;
  /// The value as a 32-bit integer; EReadError otherwise.
  int32_t AsInteger() const;
  /// The value as a number (an integer is taken as a float); EReadError otherwise.
  double AsFloat() const;
  /// The value of a string property; EReadError for another kind.
  const std::string& AsString() const;
  /// The identifier; EReadError for another kind.
  const std::string& AsIdent() const;
  /// The members of a set; EReadError for another kind.
  const std::vector<std::string>& AsSet() const;
  /// The strings of a list; EReadError for another kind.
  const std::vector<std::string>& AsStrings() const;
};

/// Writes the properties of one component as text.
class TPropertyWriter {
 public:
  explicit TPropertyWriter(const std::string& ClassName);
  void WriteIdent(const std::string& Name, const std::string& Ident);
  void WriteBoolean(const std::string& Name, bool Value);
  void WriteInteger(const std::string& Name, int64_t Value);
  /// The shortest text that reads back as the same single-precision number.
  void WriteSingle(const std::string& Name, float Value);
  void WriteString(const std::string& Name, const std::string& Value);
  void WriteSet(const std::string& Name, const std::vector<std::string>& Members);
  void WriteStrings(const std::string& Name, const std::vector<std::string>& Strings);
  /// The whole text, "end" included.
  std::string Text() const;

 private:
  std::string FText;
};

/// A string as the stream writes it, quotes and escapes included.
std::string QuoteStreamString(const std::string& Value);

/// The properties a text holds, in order; Class receives the class name it gives. EReadError (with the line)
/// for a malformed text.
std::vector<TStreamProperty> ParseComponentText(const std::string& Text, std::string& Class);

/// The component's properties as text (TComponent::WriteProperties).
std::string WriteComponentText(const TComponent& Component);
void WriteComponent(std::ostream& Stream, const TComponent& Component);
/// Reads a text written for a component of the same class into Component: BeginRead, then every property in
/// order (ReadProperty; a property it does not know raises EReadError), then EndRead. The text is checked
/// whole before the component is touched.
void ReadComponentText(const std::string& Text, TComponent& Component);
void ReadComponent(std::istream& Stream, TComponent& Component);

}  // namespace rulecraft
