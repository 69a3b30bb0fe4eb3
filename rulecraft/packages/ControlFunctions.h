#pragma once
// The standard package's control structures, variables, truth values and comparisons.
//
// A function receives its arguments unevaluated and resolves only those it needs, so a control structure
// evaluates a branch or a body as often as it likes. Statement sequences watch the context's pending
// return after each statement: `return` leaves the innermost loop or branch, and the pending return stays
// set so the enclosing constructs (and a rule's action list) stop too.
//
// Truth has two readings: a value "is false" when it equals the atom FALSE (if, while, and, not), and "is
// true" when it equals the atom TRUE (or). Keywords inside argument lists (then, else, do, finally, catch,
// except) are recognised when they equal the shared keyword atoms.
//
// These functions need no engine: they work on the context alone.
#include "rulecraft/functions/BuiltinFunction.h"

namespace rulecraft {

/// (and <expression>*): FALSE at the first argument that is FALSE (the rest are not evaluated); TRUE after
/// all of them, also with none.
RC_BUILTIN_FUNCTION(TAndFunction);
/// (or <expression>*): TRUE at the first argument that is TRUE (the rest are not evaluated); FALSE after all
/// of them, also with none.
RC_BUILTIN_FUNCTION(TOrFunction);
/// (not <expression>): TRUE when the argument is FALSE, otherwise FALSE.
RC_BUILTIN_FUNCTION(TNotFunction);

/// (eq <expression> <expression>+): the first value equals (kind and value) every following value.
RC_BUILTIN_FUNCTION(TEqFunction);
/// (eq* <expression> <expression>+): the first value equals every following value read as the first
/// value's kind.
RC_BUILTIN_FUNCTION(TEqStarFunction);
/// (neq <expression> <expression>*): the first value equals none of the following values.
RC_BUILTIN_FUNCTION(TNeqFunction);
/// (= <numeric-expression>+): the numbers are all exactly equal to the first.
RC_BUILTIN_FUNCTION(TNumericEqualFunction);
/// (<> <numeric-expression>+): no following number is exactly equal to the first.
RC_BUILTIN_FUNCTION(TNumericNotEqualFunction);
/// (> <numeric-expression> <numeric-expression>+): each number is greater than the next.
RC_BUILTIN_FUNCTION(TGreaterThanFunction);
/// (>= <numeric-expression> <numeric-expression>+): each number is greater than or equal to the next.
RC_BUILTIN_FUNCTION(TGreaterOrEqualFunction);
/// (< <numeric-expression> <numeric-expression>+): each number is less than the next.
RC_BUILTIN_FUNCTION(TLessThanFunction);
/// (<= <numeric-expression> <numeric-expression>+): each number is less than or equal to the next.
RC_BUILTIN_FUNCTION(TLessOrEqualFunction);
/// (member <to-find> <expression>+): the 0-based position, among the arguments after the first, of the
/// first one equal (kind and value) to the first; FALSE when none is.
RC_BUILTIN_FUNCTION(TMemberFunction);

/// (bind <variable> <expression>): the value, assigned to the variable with the context's SetVariable (the
/// nearest binding of that name along the context chain, globals included, or a new local one).
RC_BUILTIN_FUNCTION(TBindFunction);
/// (__get-var <variable-name>): a variable's value; for any other argument, the value of the binding its
/// text names, or nil when there is none.
RC_BUILTIN_FUNCTION(TGetVarFunction);

/// (if <condition> then <expression>+ [else <expression>+]): the last value of the branch taken; FALSE when
/// no branch ran. "Syntax Error: Missing "then" in an IF statement" without the then keyword second.
RC_BUILTIN_FUNCTION(TIfFunction);
/// (while <condition> [do] <expression>*): runs the body while the condition is not FALSE; FALSE at the
/// end, or the pending return's value. A condition that never becomes FALSE loops until a return or an
/// error: there is no other exit.
RC_BUILTIN_FUNCTION(TWhileFunction);
/// (foreach <name> <multifield> <expression>*): assigns each element in turn to the variable the first
/// argument names and runs the body; the last value of the body (nil when it never ran), or the pending
/// return's value.
RC_BUILTIN_FUNCTION(TForEachFunction);
/// (return <expression>): records the argument, unevaluated, as the context's pending return and answers
/// it. Whoever owns the context decides what to do with it: an interpreted function evaluates it, a rule
/// discards it.
RC_BUILTIN_FUNCTION(TReturnFunction);

/// (try <expression>* [finally <expression>*] [catch|except <expression>*]): runs the protected part, then
/// the finally part in any case. An exit request passes on unchanged; any other error is caught: its
/// message goes to the variable __ERROR as a string, the result is FALSE, and the catch part (when there
/// is one) gives the result.
RC_BUILTIN_FUNCTION(TTryFunction);
/// (throw <lexeme-expression>): raises a plain error whose message is the argument's text.
RC_BUILTIN_FUNCTION(TThrowFunction);

}  // namespace rulecraft
