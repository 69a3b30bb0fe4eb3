#pragma once
// The standard package: the functions of the rule language that act on the fact base and drive the engine
// (asserting, retracting, modifying and duplicating facts; running, resetting, clearing and halting;
// watches; loading and saving; the value store; fact duplication; backward chaining; the version). The
// control structures, variables and comparisons it also holds are declared in ControlFunctions.h.
//
// It is the one package that drives the engine itself, so its functions need a TInferenceEngine behind the
// context they are called in ("Unknown/Undefined Inference Engine" otherwise).
#include "rulecraft/functions/BuiltinFunction.h"
#include "rulecraft/functions/UserPackage.h"

namespace rulecraft {

/// (assert <fact>*): asserts a resolved copy of each fact; the fact id of the last one, or FALSE when there
/// was none or the engine refused the last one as a duplicate.
RC_BUILTIN_FUNCTION(TAssertFunction);
/// (assert-string <string-expression>*): parses and asserts each text as a fact; the id the engine gave the
/// last one (-1 for a refused duplicate).
RC_BUILTIN_FUNCTION(TAssertStringFunction);
/// (batch <filename>): runs the file as batch input: TRUE.
RC_BUILTIN_FUNCTION(TBatchFunction);
/// (clear): forgets every construct and fact: TRUE.
RC_BUILTIN_FUNCTION(TClearFunction);
/// (clear-storage): empties the value store; no result.
RC_BUILTIN_FUNCTION(TClearStorageFunction);
/// (do-backward-chaining <fact-template-name>*): marks each template (made when missing) as backward
/// chaining and adds its goal template "need-<name>" with the same slots: TRUE. "test" and "not" raise
/// "Cannot backchain on special CEs: %s".
RC_BUILTIN_FUNCTION(TDoBackwardChainingFunction);
/// (duplicate <fact-index> (<slot-name> <expression>)*): asserts a changed copy of the fact; the new id.
RC_BUILTIN_FUNCTION(TDuplicateFunction);
/// (exit): raises EIEExit with status 0, which ends the host's load or run.
RC_BUILTIN_FUNCTION(TExitFunction);
/// (fetch <lexeme-expression>): the value stored under the name, or nil.
RC_BUILTIN_FUNCTION(TFetchFunction);
/// (gensym*): a new symbol "gen<n>".
RC_BUILTIN_FUNCTION(TGenSymStarFunction);
/// (get-fact-duplication): TRUE when duplicate facts are refused.
RC_BUILTIN_FUNCTION(TGetFactDuplicationFunction);
/// (get-slot-value <fact-id>|<fact> [<slot-name>]): a copy of the slot's value ("__Data" without a name).
RC_BUILTIN_FUNCTION(TGetSlotValueFunction);
/// (halt): stops the run after the current firing: TRUE.
RC_BUILTIN_FUNCTION(THaltFunction);
/// (load <filename>): parses the file into the engine: TRUE.
RC_BUILTIN_FUNCTION(TLoadFunction);
/// (load-facts <filename>): asserts the facts of the file: TRUE.
RC_BUILTIN_FUNCTION(TLoadFactsFunction);
/// (modify <fact-index> (<slot-name> <expression>)+): retracts the fact, changes its slots and asserts it
/// again; the fact's new id.
RC_BUILTIN_FUNCTION(TModifyFunction);
/// (reset): TRUE.
RC_BUILTIN_FUNCTION(TResetFunction);
/// (retract *|<fact-index>*): retracts the facts (all of them for "*"); missing ids are skipped: TRUE.
RC_BUILTIN_FUNCTION(TRetractFunction);
/// (retract-string <fact-string>*): retracts the first fact equal to each text: TRUE.
RC_BUILTIN_FUNCTION(TRetractStringFunction);
/// (run [<limit>]): fires the agenda; the number of rules fired.
RC_BUILTIN_FUNCTION(TRunFunction);
/// (save <filename>): writes the expert system to the file: TRUE.
RC_BUILTIN_FUNCTION(TSaveFunction);
/// (save-facts <file-name> [<fact-template-name>+]): writes the facts (of the named templates only, in the
/// order the names are given) to the file: TRUE.
RC_BUILTIN_FUNCTION(TSaveFactsFunction);
/// (set-fact-duplication <boolean>): the previous setting as get-fact-duplication gives it; afterwards
/// duplicates are allowed only when the argument is the atom FALSE.
RC_BUILTIN_FUNCTION(TSetFactDuplicationFunction);
/// (store <name> <value>): stores the value (nil for nil); the value stored.
RC_BUILTIN_FUNCTION(TStoreFunction);
/// (unwatch all|rules|facts|activations|compilations|statistics): TRUE; "Cannot unwatch %s" otherwise.
RC_BUILTIN_FUNCTION(TUnwatchFunction);
/// (version): the engine's version as a float.
RC_BUILTIN_FUNCTION(TVersionFunction);
/// (watch all|rules|facts|activations|compilations|statistics): TRUE; "Cannot watch %s" otherwise.
RC_BUILTIN_FUNCTION(TWatchFunction);

class TInferenceEngine;

/// The engine the context works for (defined with the engine, rulecraft/engine/InferenceEngine.h).
TInferenceEngine& EngineOf(TIEContext* Context);
/// Argument Index of FunCall resolved in Context, as text.
std::string ArgumentText(TFunctionCall& FunCall, int32_t Index, TIEContext* Context);
/// The fact Value names: a fact, or its identifier as an integer or fact id (and, with PrintedForm, a symbol
/// in the printed form f-5). Raises SInvalidArgType for any other value and SNoSuchFact when no fact has the
/// identifier.
IFact FactArgument(TInferenceEngine& Engine, const IIEValue& Value, bool PrintedForm = false);

class TStandardPackage : public TUserPackage {
  RC_CLASS(TStandardPackage, TUserPackage)
 public:
  using TUserPackage::TUserPackage;
  /// Adds the functions above and those of ControlFunctions.h, IOFunctions.h and MultifieldFunctions.h in
  /// the package table's order: and, assert, assert-string, batch, bind, clear, clear-storage, close,
  /// do-backward-chaining, dribble-on, dribble-off, duplicate, eq, eq*, =, exit, __get-var, fetch, foreach,
  /// format, gensym*, get-fact-duplication, get-slot-value, >, >=, halt, if, load, load-facts, <, <=, member,
  /// modify, neq, <>, not, open, or, printout, read, readline, remove, rename, reset, retract,
  /// retract-string, return, run, save, save-facts, set-fact-duplication, store, try, throw, unwatch,
  /// version, watch, while, create$, delete$, explode$, first$, implode$, insert$, length$, member$, nth$,
  /// replace$, rest$, subseq$, subsetp (71 functions).
  void CreateFunctions() override;
};

}  // namespace rulecraft
