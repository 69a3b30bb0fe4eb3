#pragma once
// The engine's message catalogue: every engine error is raised with one of these texts, filled in with
// Format.
namespace rulecraft {

/// A construct name holding a refused character (the name, then that character).
inline constexpr const char* SInvalidName = "Invalid name: %s, the character \"%s\" is not allowed";
inline constexpr const char* SInvalidVariableName = "Invalid variable name: %s";
/// An open mode other than r, w, a or r+.
inline constexpr const char* SInvalidFileAccess = "Invalid File Access Specifier: \"%s\"";
inline constexpr const char* SNoContext = "No context found when trying to resolve a %s value";
inline constexpr const char* SMissingNumeric = "Expected numeric argument to %s function call";
inline constexpr const char* SMissingComponent = "Expected component argument to %s function call";
inline constexpr const char* SMissingFuzzyCloseBracket = "Missing Fuzzy Close Bracket in expression";
inline constexpr const char* SMissingOpenParens = "Expected \"(\"";
inline constexpr const char* SMissingCloseParens = "Expected \")\"";
inline constexpr const char* SUnterminatedString = "Invalid string value, string was not terminated";
inline constexpr const char* SMissingCatchStatement = "Missing catch or finally statement for try block";
inline constexpr const char* SBadArgument = "Bad Argument: %s";
/// A global variable name not enclosed in asterisks.
inline constexpr const char* SBadVariableName = "Bad Variable Name, must start and end with an asterisk: %s";
inline constexpr const char* SBadSlotName = "Bad Slot Name: %s";
/// A slot stored under a key other than its own name.
inline constexpr const char* SNoIndexNameMatch = "Index does not match fact slot name: %s and %s";
inline constexpr const char* SBadSlotValue = "Bad Slot Value: %s";
/// A slot added without a default value.
inline constexpr const char* SBadSlotType = "Bad Slot Type";
inline constexpr const char* SBadValue = "Bad Value: %s";
inline constexpr const char* SCannotWatch = "Cannot watch %s";
inline constexpr const char* SCannotUnWatch = "Cannot unwatch %s";
inline constexpr const char* SInvalidBackchainPattern = "Invalid backward chaining pattern added to the node";
inline constexpr const char* SInvalidSlotDefault = "Invalid default slot value: %s";
inline constexpr const char* SInvalidDefaultMultislotValue =
    "Invalid default value for a multislot, must be a multifield: %s";
inline constexpr const char* SInvalidMultiSlotType = "Invalid multislot type: %s";
/// A single slot added over an existing multislot.
inline constexpr const char* SInvalidExistingSlotChange =
    "Invalid value for existing slot, multislot is not slot";
/// A multislot added over an existing single slot.
inline constexpr const char* SInvalidExistingMultiSlotChange =
    "Invalid value for existing slot, slot is not multislot";
inline constexpr const char* SInvalidSlotQualifier = "Invalid slot qualifier: %s";
/// A pattern binding on a negated, exists or test element.
inline constexpr const char* SInvalidTestBinding = "\"not\" and \"test\" CEs cannot be bound to variables";
inline constexpr const char* SInvalidRuleFmt = "Invalid rule format: %s";
inline constexpr const char* SInvalidSubstrParameters = "Invalid substring parameters: %d, %d";
inline constexpr const char* SInvalidMFParameters = "Invalid multifield begin and end parameters: %d, %d";
inline constexpr const char* SUnexpectedCharacters = "Unexpected characters found: %s";
inline constexpr const char* SInvalidAgendaItem =
    "Invalid object, agenda can only accept TActivation objects";
/// set-strategy or the program's --strategy option given an unknown name.
inline constexpr const char* SUnknownStrategy =
    "Unknown strategy: %s (expected depth, breadth, newest, oldest, lex, mea, simplicity, complexity or "
    "random)";
inline constexpr const char* SExpectedEqGT = "Expected \"=>\"";
inline constexpr const char* SExpectedAtom = "Expected \"( <atom>\"";
inline constexpr const char* SExpectedValue = "Expected value missing";
/// A required punctuation token or keyword (the expected text).
inline constexpr const char* SExpectedChar = "Expected \"%s\"";
inline constexpr const char* SExpectedKeyword = "Missing keyword.  Expected \"%s\"";
inline constexpr const char* SNotMultiSlot = "Slot \"%s\" is not a multislot";
/// A fact of a template whose slot has (default ?NONE) and that does not give that slot a value.
inline constexpr const char* SRequiredSlot = "Slot \"%s\" of template %s is required and has no value";
inline constexpr const char* SInvalidLowHiLimits =
    "Invalid limits, the low limit %s is greater than the high limit %s";
/// A pattern-binding variable not followed by the binding arrow.
inline constexpr const char* SExpectedAssignment = "Expected \"<-\"";
inline constexpr const char* SExpectedIntVarFun = "Expected integer, variable, or function call for %s";
inline constexpr const char* SExpectedNumVarFun = "Expected number, variable, or function call";
inline constexpr const char* SExpectedRuleProperty = "Expected rule property, salience, oneshot, or enabled";
inline constexpr const char* SExpectedSalience = "Expected salience, found %s";
/// The word after a template's name.
inline constexpr const char* SExpectedExtends = "Expected \"(\", \"extends\", or \"is-a\"";
inline constexpr const char* SExpectedDeffacts = "Expected \"( deffacts\"";
inline constexpr const char* SExpectedDefType = "Expected \"( deftype\"";
inline constexpr const char* SExpectedDefTemplate = "Expected \"( deftemplate\"";
inline constexpr const char* SExpectedDefRule = "Expected \"( defrule\"";
inline constexpr const char* SExpectedDefFunction = "Expected \"( deffunction\"";
/// A fuzzy term clause of a fuzzy deftype.
inline constexpr const char* SExpectedFuzzySet = "Expected \"( term\"";
inline constexpr const char* SExpectedDefGlobal = "Expected \"( defglobal\"";
inline constexpr const char* SNestedNotCEs = "Nested \"not\" CEs are not allowed: %s";
inline constexpr const char* SNoSuchSlot = "No such slot name: \"%s\"";
/// An equals sign not followed by a function call.
inline constexpr const char* SAtomNotEquals = "\"=\" cannot appear as an atom within a fact";
/// A value of the wrong kind: the expected kind word, the value's text, the value's kind name.
inline constexpr const char* SNotCorrectType = "Not a %s type.  Value (%s) is a %s type";
inline constexpr const char* SNotAllowedValue = "Not in allowed values";
inline constexpr const char* SListCardinalityError = "Multislot must have between %d and %d elements";
/// The bounds are written with four decimals.
inline constexpr const char* SOutOfRangeError = "Range must be between %.4f and %.4f";
/// Wraps a reason why a value is refused (the reason, then the slot name).
inline constexpr const char* SNotCorrectSlotType = "%s for %s slot";
inline constexpr const char* SInvalidSlotValue = "Invalid value for %s slot: %s";
/// A value constructed with a kind that does not fit its payload.
inline constexpr const char* SInvalidValueType = "Value and type mismatch";
/// The value's text, then the reason (or the slot name).
inline constexpr const char* SInvalidValue = "Value \"%s\" is not valid, %s";
inline constexpr const char* SInvalidFuzzyValue = "invalid fuzzy value";
inline constexpr const char* STooFewArgs = "Too few arguments for %s";
inline constexpr const char* STooManyArgs = "Too many arguments for %s";
inline constexpr const char* SCorruptedToken = "Corrupted Token, no fact at position %d";
inline constexpr const char* SCorruptedVariable = "Corrupted Binding, variable not found: %s";
inline constexpr const char* SDuplicateDefTypeNames = "Defined Type Name already exists: \"%s\"";
inline constexpr const char* SDuplicateFunctionNames = "Function Name already exists: \"%s\"";
inline constexpr const char* SDuplicateTemplateNames = "Fact Template Name already exists: \"%s\"";
inline constexpr const char* SDuplicateRuleNames = "Duplicate Rules defined with same name: \"%s\"";
inline constexpr const char* SDuplicateStreamNames = "Duplicate streams defined with same name: \"%s\"";
/// A function stored under a key other than its own name.
inline constexpr const char* SInvalidFunctionAdd = "Function names do not match: %s and %s";
inline constexpr const char* SInvalidPatternBinding = "Cannot bind a negated pattern to a variable";
inline constexpr const char* SInvalidAddObject = "Invalid object, cannot add an object of %s class type";
/// An argument of a refused kind (its kind name, then the allowed kinds).
inline constexpr const char* SInvalidArgType = "Invalid argument type for deffunction: \"%s\".  Expected %s";
inline constexpr const char* SInvalidSlotName = "Invalid slot name: %s";
inline constexpr const char* SInvalidSlotType = "Invalid slot type: %s";
/// A join node called through an edge that is neither left nor right.
inline constexpr const char* SInvalidCallType = "Invalid Call Type: %s";
inline constexpr const char* SInvalidTokenAction = "Invalid Token Action";
inline constexpr const char* SInvalidTokenHint = "Invalid Token hint for parsing token: %s";
inline constexpr const char* SInvalidStreamName = "Invalid stream name: %s";
inline constexpr const char* SInvalidPtr =
    "Invalid destruction of pointer reference, reference counting greater than 0";
/// A construct looked up by name: its kind word, then the name.
inline constexpr const char* SUnknownName = "Unknown %s name: %s";
inline constexpr const char* SUnknownFactTemplate = "Unknown fact template: %s";
inline constexpr const char* SFactTemplatesDifferent =
    "Unable to assign slot values, fact templates are different: %s and %s";
inline constexpr const char* SMissingName = "Missing name";
inline constexpr const char* SMissingTemplateName = "Missing name of fact template";
inline constexpr const char* SMissingDeffactsName = "Missing name of deffacts";
inline constexpr const char* SMissingParentTemplateName = "Missing name of parent template to extend";
inline constexpr const char* SMissingIsaTypeName = "Missing name of type for fact template";
inline constexpr const char* SUnknownTypeName = "type name unknown or invalid: %s";
inline constexpr const char* SMissingParentDefinedTypeName = "Missing name of parent type to extend";
/// Filled into SSyntaxError.
inline constexpr const char* SMissingThen = "Missing \"then\" in an IF statement";
inline constexpr const char* SMultifieldLengthMismatch =
    "Invalid multifield arguments, the two multifields must be of the same length";
inline constexpr const char* SNoSuchFact = "No Such Fact with ID=%s exists";
/// Also raised for terminal I/O that no stream or event handler serves.
inline constexpr const char* SNoSuchFunction = "Function is unimplemented or unassigned: %s";
/// Terminal input requested while no read event handler is assigned.
inline constexpr const char* SNoReadFunctionWarning =
    "The %s event has not been implemented or unassigned.\r\nWarning: Implementation of this function "
    "requires a blocking mechanism, \r\nsuch as ShowModal, or the use of threads";
inline constexpr const char* SNoTemplate = "Fact Template is missing";
inline constexpr const char* SNoRule = "Rule missing for pattern";
inline constexpr const char* SMissingRule = "Missing rule: %s";
inline constexpr const char* SSyntaxError = "Syntax Error: %s";
inline constexpr const char* SCannotChangeID = "Cannot change the ID of fact %s";
/// A top-level token that starts no expression.
inline constexpr const char* SExpectedParenConstVar =
    "Unexpected symbol, expected a \"(\", constant, or global variable: %s";
inline constexpr const char* SUnknownEngine = "Unknown/Undefined Inference Engine";
inline constexpr const char* SMissingFactSet = "Fact Set is missing";
inline constexpr const char* SUnknownVariable = "Unknown variable name: %s";
inline constexpr const char* SUnknownIEClassName = "Unknown inference engine class name: %s";
inline constexpr const char* SUnexpectedCharacter = "Unexpected character found: \"%s\"";
inline constexpr const char* SUnexpectedEOF = "Unexpected end of stream";
/// A name that selects none of the functions a configured function class serves.
inline constexpr const char* SWrongFunctionName = "Wrong function name: %s";
inline constexpr const char* SNegatedVariable = "First Use of Variable is negated, variable name is %s";
/// A variable bound inside a not or exists pattern used in another pattern, a test or an action (wording
/// ours).
inline constexpr const char* SNegatedBindingUsedOutside =
    "Variable %s is bound only inside a negated pattern and cannot be used outside it";
/// A call in a not or exists pattern that reads a variable bound by a later pattern (wording ours).
inline constexpr const char* SUsedBeforeBoundInNot =
    "Variable %s is used in a negated pattern before the pattern that binds it";
/// An action using a variable that one alternative of an or element binds and another does not (wording
/// ours).
inline constexpr const char* SUnboundInAlternative =
    "Variable %s is not bound in every alternative of rule %s";
/// A left-hand side whose or elements expand to too many alternatives (wording ours).
inline constexpr const char* STooManyAlternatives = "Rule %s has more than %d alternatives";
/// A negated and element inside another one (wording ours).
inline constexpr const char* SNestedNegatedAnd =
    "A negated and element cannot hold another negated and element";
/// An and or or element without elements (wording ours).
inline constexpr const char* SEmptyConditionalElement = "Empty %s conditional element";
/// Warnings about a rule that is defined as written (wording ours). A variable an action reads that no
/// pattern binds and no earlier action assigns.
inline constexpr const char* SUnboundActionVariable =
    "Variable %s is used in the actions but no pattern binds it and no earlier bind assigns it";
/// A multifield variable given to a function whose arguments are single numbers.
inline constexpr const char* SMultifieldVariableArgument =
    "Multifield variable %s is an argument of %s, which takes single values";
/// A multifield variable as the value of a single-field slot (in a pattern or in a fact an action writes).
inline constexpr const char* SMultifieldVariableInSlot =
    "Multifield variable %s is the value of the single-field slot %s of %s";
/// How a host shows a warning: the construct's kind, its name, its line and the message.
inline constexpr const char* SConstructWarning = "Warning in %s %s at line %d: %s";
/// The same for a construct that was not read from text (line 0).
inline constexpr const char* SConstructWarningNoLine = "Warning in %s %s: %s";
/// A construct rebuilt after a construct it uses was redefined no longer reads (wording ours): the
/// redefined construct and the reason.
inline constexpr const char* SDependentDropped = "dropped after %s was redefined: %s";
/// The message, the parser operation, the line number and the consumed text.
inline constexpr const char* SParseError = "Parsing Error, %s in %s at line %s: %s";
inline constexpr const char* SNoParser = "No parser assigned to the inference engine";
/// Two or more collected parse errors, one per line.
inline constexpr const char* SMultipleParseError = "Errors parsing stream:\r\n%s";
inline constexpr const char* SParseTypeError = "Invalid parse type: %s";
inline constexpr const char* SBackChainCE = "Cannot backchain on special CEs: %s";
inline constexpr const char* SBackChainFuncallPatterns =
    "Cannot use Function calls in backchained patterns: %s";
inline constexpr const char* SNoSuchConstraint = "Defined Type %s does not have %s constraints";
inline constexpr const char* SInvalidConstraint = "Defined Type %s cannot contain %s constraint types";
/// "&s" is literal text, not a placeholder.
inline constexpr const char* SUncloneableValue = "Uncloneable value.  Value owned an object of &s class type";
inline constexpr const char* SEmptyBaseTypes = "Defined Type %s must have at least one primitive type";
inline constexpr const char* SCannotMixFuzzy = "Cannot mix fuzzy type with other primitive types";
inline constexpr const char* SMissingRange = "Missing range statement";
inline constexpr const char* SMissingFuzzySetValues = "Missing values for fuzzy set %s";
inline constexpr const char* SMissingAllowedEnumeration =
    "Expected allowed value argument for deftype, received %s";
inline constexpr const char* STypeInheritanceLoop =
    "Type inheritance loop detected, %s type cannot be an ancestor of itself";
inline constexpr const char* SNoMultiTypeInheritance = "Multiple inheritance is not allowed for deftypes";
inline constexpr const char* SFactTemplateInheritanceCorrupt =
    "Fact templates inheritance structure corrupted";
/// A stored field whose type does not fit its slot.
inline constexpr const char* SDBTypeMismatch = "Field type does not match the type of slot %s";
inline constexpr const char* SDBMultiSlotNotString = "Multislot %s must be stored in a string field";
inline constexpr const char* STypeInheritanceCorrupt = "Defined types inheritance structure corrupted";
inline constexpr const char* SMissingFuzzyOperand = "Missing fuzzy operand to be modified by hedge: %s";
inline constexpr const char* SInvalidFuzzyToken = "Invalid item in fuzzy expression: %s";
inline constexpr const char* SNeedFuzzyType = "Fuzzy Type Definition needed to parse value";
inline constexpr const char* SDifferentFuzzyVariables =
    "Fuzzy values belong to different fuzzy variables: %s and %s";
inline constexpr const char* SInvalidFuzzyUnionTemplate =
    "Cannot union two facts with different fact templates: %s and %s";
inline constexpr const char* SNotFuzzyFact = "Fact is not a fuzzy fact";
inline constexpr const char* SInvalidFuzzyCorrelation =
    "Invalid Fuzzy Correlation specified (%s), expected %s";
inline constexpr const char* SInvalidFuzzyInference = "Invalid Fuzzy Inference specified (%s), expected %s";
/// An operation name that the fuzzy-set library does not know.
inline constexpr const char* SInvalidIEFuzzyOperation = "Invalid Fuzzy Operation specified (%s), expected %s";
inline constexpr const char* SInvalidFuzzyExpression = "Invalid Fuzzy Expression: %s";
inline constexpr const char* SUndefinedFuzzyVariable = "fuzzy variable is not defined";
/// A range, units or allowed-values qualifier on a fuzzy slot.
inline constexpr const char* SFuzzyDefinitionError =
    "Invalid attempt to modify fuzzy type in fact template slot, fuzzy types cannot be modified";
/// A point index outside a fuzzy set (the index, the number of points).
inline constexpr const char* SFuzzySetIndexOutOfRange =
    "Fuzzy set point index %d is out of range, the set has %d points";
inline constexpr const char* SPatternMatchError = "Pattern match error: %s";

/// The helper unit's own message.
inline constexpr const char* SInvalidSetItem = "Invalid item for set: %s";

/// The arithmetic errors of the function packages, raised as EMathError: integer division or remainder by
/// zero, a floating-point operation outside its domain (NaN result), a finite division by zero (log of zero
/// included) and a result too large for a double.
inline constexpr const char* SDivByZero = "Division by zero";
inline constexpr const char* SInvalidOp = "Invalid floating point operation";
inline constexpr const char* SZeroDivide = "Floating point division by zero";
inline constexpr const char* SOverflow = "Floating point overflow";

/// A position outside a multifield (the position).
inline constexpr const char* SListIndexOutOfBounds = "List index out of bounds (%d)";
/// A multifield that would nest deeper than the limit (the limit).
inline constexpr const char* SListNestingTooDeep = "Multifield nested deeper than %d levels";
/// A named stream that refuses text or input: the logical name, its file, the stream's reason.
inline constexpr const char* SStreamWriteFailed = "Cannot write to logical name %s (file \"%s\"). %s";
inline constexpr const char* SStreamReadFailed = "Cannot read from logical name %s (file \"%s\"). %s";
/// An engine created while no parser factory is registered (the library's top level was not linked).
inline constexpr const char* SNoEngineParser =
    "No parser is registered for new engines: link the rulecraft library target";  // wording ours
/// The parser class changed while the parser reads a text.
inline constexpr const char* SParserBusy = "The parser cannot be replaced while it reads";  // wording ours
/// A tokenizer class the parser cannot read from (the class of the tokenizer it makes).
inline constexpr const char* SWrongTokenizer =
    "A %s is not a tokenizer this parser reads from";  // wording ours
/// The engine's CreateIEObject gave an object of the wrong class (the class it gave, the kind asked for).
inline constexpr const char* SWrongIEObject = "CreateIEObject made a %s for %s";  // wording ours

/// Nesting that input controls goes past its bound: a call, a rule's network or a load (the limit, then the
/// name of what nested), and a text being parsed (the limit).
inline constexpr const char* SNestingTooDeep = "Maximum nesting depth of %d exceeded in %s";
inline constexpr const char* SParseNestingTooDeep = "Maximum nesting depth of %d exceeded";
/// An allocation failed while the engine worked; what it was doing was abandoned and the engine stays
/// usable (see the guarantees in docs/ARCHITECTURE.md).
inline constexpr const char* SOutOfMemory = "Out of memory";
/// The limits a host sets for rules it does not trust: the fact base is full (the most facts), a run fired
/// the most rules allowed with activations left (the most), a function built a text or multifield longer than
/// allowed (the function, the length, the most), a file function while files are switched off (the function,
/// the file name) or a name leading outside the confining directory (the function, the name, the directory),
/// and a confining directory that is not one (the name).
inline constexpr const char* SFactLimitReached =
    "Cannot assert a fact: the fact base holds the most facts allowed (%d)";
inline constexpr const char* SFiringLimitReached =
    "Run stopped after %d rule firings, the most allowed per run";
inline constexpr const char* SInvalidFiringLimit = "A firing limit cannot be negative: %d";
/// A function called by a pattern's test (while a fact is matched) or by a fact set's value (while the engine
/// resets) that would clear or reset the engine or remove a rule or template: the network and the fact sets
/// being walked would be pulled from under the walk (the change refused).
inline constexpr const char* SEngineBusy =
    "Cannot %s while the engine matches facts or resets";  // wording ours
inline constexpr const char* SStringTooLong = "%s built a text of %d characters; at most %d are allowed";
inline constexpr const char* SMultifieldTooLong =
    "%s built a multifield of %d fields; at most %d are allowed";
/// Explaining matches (matches, why): a rule name the engine does not know, a rule with more partial matches
/// at one pattern than an explanation walks (the rule, the most), an explanation asked for while facts flow
/// through the network (from a pattern's test) or the engine resets, or one whose pattern test compiled a
/// rule on the way.
inline constexpr const char* SUnknownRule = "Unknown rule: %s";
inline constexpr const char* STooManyPartialMatches =
    "Cannot explain rule %s: one of its patterns has more than %d partial matches";
inline constexpr const char* SNetworkBusy = "Cannot explain matches while the engine matches facts or resets";
inline constexpr const char* SNetworkChanged =
    "A pattern test changed the rules while its matches were explained";
inline constexpr const char* SFileAccessDenied = "%s: file access is switched off (%s)";
inline constexpr const char* SFileOutsideSandbox = "%s: %s lies outside the directory %s";
inline constexpr const char* SSandboxNotDirectory = "Not a directory: %s";
/// A construct keyword the parser knows but does not read (the keyword).
inline constexpr const char* SUnsupportedConstruct = "Unsupported construct: %s";
/// A multifield slot binding whose list has no element at the binding's position (the position, the slot).
inline constexpr const char* SCorruptedSubIndex = "Corrupted Binding, no element at position %d of slot %s";

/// Texts the engine writes into constructs: the comment of a template it makes up for a name used before any
/// deftemplate, and the rule line between the sections of a saved system.
inline constexpr const char* SImpliedTemplateComment = "(Implied)";
inline constexpr const char* SSaveSectionRule = "; *************************";

/// The argument texts of the built-in functions' help, shared by the functions of one shape. Each starts
/// with a blank, so it follows the function name directly.
inline constexpr const char* SNumericArgument = " <numeric-expression>";
inline constexpr const char* SNumericArguments = " <numeric-expression>+";
inline constexpr const char* SNumericChainArguments = " <numeric-expression> <numeric-expression>+";
inline constexpr const char* SPointArguments = " <numeric-expression-X> <numeric-expression-Y>";
inline constexpr const char* SMultifieldArgument = " <multifield-expression> ";
inline constexpr const char* SMultifieldRangeArguments =
    " <multifield-expression> <start-integer-expression> <end-integer-expression>";
inline constexpr const char* SMultifieldPairArguments =
    " <multifield-expression-1> <multifield-expression-2>";
inline constexpr const char* SAnyExpressionArguments = " <expression>*";
inline constexpr const char* SEqualityArguments = " <expression> <expression>+";
inline constexpr const char* SLexemePairArguments = " <lexeme-expression> <lexeme-expression>";
inline constexpr const char* SFileNameArgument = " <filename>";
inline constexpr const char* SWatchArguments = " all|rules|facts|activations|compilations|statistics";
/// The help comments shared by a family of built-in functions: the type predicates (the type names) and
/// watch/unwatch.
inline constexpr const char* SVerifyTypeComment =
    "Returns TRUE if the argument is of the following type(s): %s.  If the argument is any other type, FALSE "
    "is returned";
inline constexpr const char* SWatchComment =
    "Watches are like events and force the inference engine to output (using OnPrintOut event) "
    "information as they occur";

/// The miscellaneous package: dates and times, dialogs.
inline constexpr const char* SInvalidDateEncode = "Invalid argument to date encode";
inline constexpr const char* SInvalidTimeEncode = "Invalid argument to time encode";
inline constexpr const char* SInvalidDateValue = "Invalid date value: %s";
/// A text that does not follow the date or time format (the text, then "date", "time" or "date and time").
inline constexpr const char* SInvalidDateTimeText = "'%s' is not a valid %s";
inline constexpr const char* SNoDialogHandler = "No dialog handler assigned for %s";
inline constexpr const char* SInvalidDialogType = "Invalid dialog type: %s";
/// The business package: an iteration for a rate that found none (the function name).
inline constexpr const char* SNoConvergence = "%s does not converge";
inline constexpr const char* SInvalidFinancialArgument = "Invalid argument to %s: %s";
/// The object package.
inline constexpr const char* SUnknownProperty = "Unknown property %s of %s";
inline constexpr const char* SNoParentProperty = "%s has no Parent property";

struct TMessageEntry {
  const char* Name;
  const char* Text;
};

/// The 212 shared messages in catalogue order (for listings and tests).
const TMessageEntry* MessageCatalogue(int& Count);

}  // namespace rulecraft
