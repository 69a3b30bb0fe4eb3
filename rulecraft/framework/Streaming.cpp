#include "rulecraft/framework/Streaming.h"

#include <charconv>
#include <cstdio>
#include <iterator>
#include <limits>
#include <sstream>

#include "rulecraft/framework/Component.h"
#include "rulecraft/framework/Convert.h"

namespace rulecraft {

namespace {

[[noreturn]] void ReadFailure(int32_t Line, const std::string& Message) {
  throw EReadError("Stream read error at line " + std::to_string(Line) + ": " + Message);
}

[[noreturn]] void WrongKind(const TStreamProperty& Property, const char* Wanted) {
  ReadFailure(Property.Line, "property " + Property.Name + " must be " + Wanted);
}

bool IsNameChar(char C) noexcept {
  return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') || C == '_' || C == '.';
}

bool IsBlank(char C) noexcept { return C == ' ' || C == '\t' || C == '\r'; }

int HexDigit(char C) noexcept {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

/// Reads a text line by line, with the position inside the current line.
class TLineReader {
 public:
  explicit TLineReader(const std::string& Text) : FText(Text) {}

  /// The next line that is not blank, trimmed; false at the end of the text.
  bool NextLine(std::string& Line) {
    while (FPos < FText.size()) {
      const size_t End = FText.find('\n', FPos);
      const size_t Stop = End == std::string::npos ? FText.size() : End;
      Line = Trim(std::string_view(FText).substr(FPos, Stop - FPos));
      ++FLine;
      FPos = End == std::string::npos ? FText.size() : End + 1;
      if (!Line.empty()) return true;
    }
    return false;
  }
  int32_t Line() const noexcept { return FLine; }

 private:
  const std::string& FText;
  size_t FPos = 0;
  int32_t FLine = 0;
};

/// The string that starts at Text[Pos] (a double quote); Pos moves past the closing quote.
std::string ReadString(const std::string& Text, size_t& Pos, int32_t Line) {
  std::string Value;
  ++Pos;
  for (;;) {
    if (Pos >= Text.size()) ReadFailure(Line, "unterminated string");
    const char C = Text[Pos++];
    if (C == '"') return Value;
    if (C != '\\') {
      Value += C;
      continue;
    }
    if (Pos >= Text.size()) ReadFailure(Line, "unterminated string");
    const char E = Text[Pos++];
    switch (E) {
      case '\\':
        Value += '\\';
        break;
      case '"':
        Value += '"';
        break;
      case 'r':
        Value += '\r';
        break;
      case 'n':
        Value += '\n';
        break;
      case 't':
        Value += '\t';
        break;
      case 'x': {
        const int High = Pos < Text.size() ? HexDigit(Text[Pos]) : -1;
        const int Low = Pos + 1 < Text.size() ? HexDigit(Text[Pos + 1]) : -1;
        if (High < 0 || Low < 0) ReadFailure(Line, "bad \\x escape in a string");
        Value += static_cast<char>(High * 16 + Low);
        Pos += 2;
        break;
      }
      default:
        ReadFailure(Line, std::string("unknown escape \\") + E + " in a string");
    }
  }
}

/// A whole line that must hold exactly one string.
std::string StringLine(const std::string& Line, int32_t LineNumber) {
  if (Line.empty() || Line[0] != '"') ReadFailure(LineNumber, "expected a string");
  size_t Pos = 0;
  std::string Value = ReadString(Line, Pos, LineNumber);
  if (Pos != Line.size()) ReadFailure(LineNumber, "unexpected text after a string");
  return Value;
}

}  // namespace

// ---- TStreamProperty
// ----------------------------------------------------------------------------------------

bool TStreamProperty::AsBoolean() const {
  if (Kind == svIdent && SameText(Text, "True")) return true;
  if (Kind == svIdent && SameText(Text, "False")) return false;
  WrongKind(*this, "True or False");
}

int32_t TStreamProperty::AsInteger() const {
  int32_t Value = 0;
  if (Kind != svInteger || !TryStrToInt(Text, Value)) WrongKind(*this, "an integer");
  return Value;
}

double TStreamProperty::AsFloat() const {
  double Value = 0;
  if ((Kind != svInteger && Kind != svFloat) || !TryStrToFloat(Text, Value)) WrongKind(*this, "a number");
  return Value;
}

const std::string& TStreamProperty::AsString() const {
  if (Kind != svString) WrongKind(*this, "a string");
  return Text;
}

const std::string& TStreamProperty::AsIdent() const {
  if (Kind != svIdent) WrongKind(*this, "an identifier");
  return Text;
}

const std::vector<std::string>& TStreamProperty::AsSet() const {
  if (Kind != svSet) WrongKind(*this, "a set");
  return Items;
}

const std::vector<std::string>& TStreamProperty::AsStrings() const {
  if (Kind != svStrings) WrongKind(*this, "a list of strings");
  return Items;
}

// ---- writing
// ------------------------------------------------------------------------------------------------

std::string QuoteStreamString(const std::string& Value) {
  std::string Out = "\"";
  for (const char C : Value) {
    const auto Byte = static_cast<unsigned char>(C);
    switch (C) {
      case '\\':
        Out += "\\\\";
        break;
      case '"':
        Out += "\\\"";
        break;
      case '\r':
        Out += "\\r";
        break;
      case '\n':
        Out += "\\n";
        break;
      case '\t':
        Out += "\\t";
        break;
      default:
        if (Byte < 32 || Byte == 127) {
          static const char Digits[] = "0123456789ABCDEF";
          Out += "\\x";
          Out += Digits[Byte >> 4];
          Out += Digits[Byte & 15];
        } else {
          Out += C;
        }
    }
  }
  return Out + "\"";
}

TPropertyWriter::TPropertyWriter(const std::string& ClassName) { FText = "object " + ClassName + "\n"; }

void TPropertyWriter::WriteIdent(const std::string& Name, const std::string& Ident) {
  FText += "  " + Name + " = " + Ident + "\n";
}

void TPropertyWriter::WriteBoolean(const std::string& Name, bool Value) {
  WriteIdent(Name, Value ? "True" : "False");
}

void TPropertyWriter::WriteInteger(const std::string& Name, int64_t Value) {
  WriteIdent(Name, std::to_string(Value));
}

void TPropertyWriter::WriteSingle(const std::string& Name, float Value) {
  char Buffer[64];
  const auto Result = std::to_chars(Buffer, Buffer + sizeof Buffer, Value);
  std::string Text(Buffer, Result.ptr);
  // A float always reads back as a float: it carries a point or an exponent.
  if (Text.find_first_of(".eEn") == std::string::npos) Text += ".0";
  WriteIdent(Name, Text);
}

void TPropertyWriter::WriteString(const std::string& Name, const std::string& Value) {
  WriteIdent(Name, QuoteStreamString(Value));
}

void TPropertyWriter::WriteSet(const std::string& Name, const std::vector<std::string>& Members) {
  std::string Text = "[";
  for (const std::string& Member : Members) Text += (Text.size() > 1 ? ", " : "") + Member;
  WriteIdent(Name, Text + "]");
}

void TPropertyWriter::WriteStrings(const std::string& Name, const std::vector<std::string>& Strings) {
  FText += "  " + Name + " = (\n";
  for (const std::string& S : Strings) FText += "    " + QuoteStreamString(S) + "\n";
  FText += "  )\n";
}

std::string TPropertyWriter::Text() const { return FText + "end\n"; }

// ---- reading
// ------------------------------------------------------------------------------------------------

std::vector<TStreamProperty> ParseComponentText(const std::string& Text, std::string& Class) {
  TLineReader Reader(Text);
  std::string Line;
  if (!Reader.NextLine(Line)) ReadFailure(Reader.Line(), "the text holds no object");
  if (Line.rfind("object ", 0) != 0) ReadFailure(Reader.Line(), "expected \"object\" and a class name");
  Class = Trim(std::string_view(Line).substr(7));
  if (Class.empty()) ReadFailure(Reader.Line(), "expected a class name");
  std::vector<TStreamProperty> Properties;
  for (;;) {
    if (!Reader.NextLine(Line)) ReadFailure(Reader.Line(), "expected \"end\"");
    if (Line == "end") break;
    TStreamProperty Property;
    Property.Line = Reader.Line();
    size_t Pos = 0;
    while (Pos < Line.size() && IsNameChar(Line[Pos])) ++Pos;
    Property.Name = Line.substr(0, Pos);
    if (Property.Name.empty()) ReadFailure(Property.Line, "expected a property name");
    while (Pos < Line.size() && IsBlank(Line[Pos])) ++Pos;
    if (Pos >= Line.size() || Line[Pos] != '=') ReadFailure(Property.Line, "expected \"=\"");
    ++Pos;
    while (Pos < Line.size() && IsBlank(Line[Pos])) ++Pos;
    const std::string Value = Line.substr(Pos);
    if (Value.empty()) ReadFailure(Property.Line, "property " + Property.Name + " has no value");
    if (Value == "(") {
      Property.Kind = svStrings;
      for (;;) {
        if (!Reader.NextLine(Line)) ReadFailure(Reader.Line(), "expected \")\"");
        if (Line == ")") break;
        Property.Items.push_back(StringLine(Line, Reader.Line()));
      }
    } else if (Value[0] == '"') {
      Property.Kind = svString;
      Property.Text = StringLine(Value, Property.Line);
    } else if (Value[0] == '[') {
      Property.Kind = svSet;
      if (Value.back() != ']') ReadFailure(Property.Line, "expected \"]\"");
      std::string Member;
      for (size_t I = 1; I + 1 <= Value.size() - 1; ++I) {
        const char C = Value[I];
        if (C == ',' || IsBlank(C)) {
          if (!Member.empty()) Property.Items.push_back(Member);
          Member.clear();
        } else if (IsNameChar(C)) {
          Member += C;
        } else {
          ReadFailure(Property.Line, std::string("unexpected \"") + C + "\" in a set");
        }
      }
      if (!Member.empty()) Property.Items.push_back(Member);
    } else {
      bool Name = true;
      for (const char C : Value) Name = Name && IsNameChar(C);
      double Number = 0;
      int64_t Whole = 0;
      if (TryStrToInt64(Value, Whole)) {
        Property.Kind = svInteger;
      } else if (TryStrToFloat(Value, Number) && (Value[0] == '-' || (Value[0] >= '0' && Value[0] <= '9'))) {
        Property.Kind = svFloat;
      } else if (Name && !(Value[0] >= '0' && Value[0] <= '9')) {
        Property.Kind = svIdent;
      } else {
        ReadFailure(Property.Line, "bad value \"" + Value + "\"");
      }
      Property.Text = Value;
    }
    Properties.push_back(std::move(Property));
  }
  if (Reader.NextLine(Line)) ReadFailure(Reader.Line(), "unexpected text after \"end\"");
  return Properties;
}

std::string WriteComponentText(const TComponent& Component) {
  TPropertyWriter Writer(Component.ClassName());
  Component.WriteProperties(Writer);
  return Writer.Text();
}

void WriteComponent(std::ostream& Stream, const TComponent& Component) {
  Stream << WriteComponentText(Component);
}

void ReadComponentText(const std::string& Text, TComponent& Component) {
  std::string Class;
  const std::vector<TStreamProperty> Properties = ParseComponentText(Text, Class);
  if (!SameText(Class, Component.ClassName()))
    ReadFailure(1, "the text holds a " + Class + ", not a " + Component.ClassName());
  Component.BeginRead();
  for (const TStreamProperty& Property : Properties)
    if (!Component.ReadProperty(Property))
      ReadFailure(Property.Line, Component.ClassName() + " has no property " + Property.Name);
  Component.EndRead();
}

void ReadComponent(std::istream& Stream, TComponent& Component) {
  const std::string Text{std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>()};
  ReadComponentText(Text, Component);
}

}  // namespace rulecraft
