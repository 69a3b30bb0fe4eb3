#pragma once
// The standard package's multifield functions: building lists and taking them apart. Positions are 0-based
// and ranges include both ends. A list built here is a new list holding copies of the values it is given
// (a nested list's elements are shared, as a value's copy shares them), so an argument list is never
// changed; it nests at most 1000 levels deep ("Multifield nested deeper than 1000 levels"). A position
// outside the list raises "List index out of bounds (%d)".
#include "rulecraft/functions/BuiltinFunction.h"

namespace rulecraft {

/// (create$ <expression>*): a list of copies of the values; a list argument is one nested element.
RC_BUILTIN_FUNCTION(TCreateMFFunction);
/// (delete$ <list> <begin> <end>): a copy without the elements at begin..end (positions beyond the list
/// delete nothing). Begin above end raises "Invalid multifield begin and end parameters: %d, %d".
RC_BUILTIN_FUNCTION(TDeleteMFFunction);
/// (explode$ <string>): the text's blank-separated pieces, each an atom whatever it looks like.
RC_BUILTIN_FUNCTION(TExplodeMFFunction);
/// (first$ <list>): the first element, nil for an empty list.
RC_BUILTIN_FUNCTION(TFirstMFFunction);
/// (implode$ <list>): the elements' texts joined by one blank, as a string (strings lose their quotes).
RC_BUILTIN_FUNCTION(TImplodeMFFunction);
/// (insert$ <list> <position> <expression>*): a copy with each value inserted at the position (so several
/// values end up last first); a position beyond the list's end raises the list index error.
RC_BUILTIN_FUNCTION(TInsertMFFunction);
/// (length$ <list>): the element count.
RC_BUILTIN_FUNCTION(TLengthMFFunction);
/// (member$ <expression> <list>): the position of the first element equal to the value (same kind and
/// value), or FALSE.
RC_BUILTIN_FUNCTION(TMemberMFFunction);
/// (nth$ <position> <list>): the element at the position.
RC_BUILTIN_FUNCTION(TNthMFFunction);
/// (replace$ <list> <begin> <end> <expression>*): a copy whose elements at begin..end are replaced by the
/// values (inserted at begin one by one, so they end up last first).
RC_BUILTIN_FUNCTION(TReplaceMFFunction);
/// (rest$ <list>): a copy without the first element; the list index error for an empty list.
RC_BUILTIN_FUNCTION(TRestMFFunction);
/// (subseq$ <list> <begin> <end>): a copy of the elements at begin..end, which must lie inside the list.
RC_BUILTIN_FUNCTION(TSubseqMFFunction);
/// (subsetp <expression> <list>): TRUE when the first argument's elements (a single value for one that is
/// not a list) occur in the list as one contiguous run in the same order; an empty first list is TRUE.
RC_BUILTIN_FUNCTION(TSubsetpFunction);

}  // namespace rulecraft
