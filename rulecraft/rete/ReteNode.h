#pragma once
// The nodes of the Rete network. Tokens (IReteToken) flow from the roots along edges:
//  - pattern-match nodes (TPatternMatchNode) test the one fact of a root token: its template, a slot against
//    a constant or a call, two slots against each other, a multislot's length or one of its fields, or split
//    a multislot around a multifield variable;
//  - join nodes (TJoinNode) combine partial matches arriving on the left with facts arriving on the right,
//    keeping both in memories (TIETokenTree); a negated join counts the facts that block each partial match;
//  - test nodes (TTestNode) evaluate the calls of a test conditional element on each partial match;
//  - terminal nodes (TPatternMatchTerminalNode) turn complete matches into activations.
// Every node belongs to one network (TReteNetwork), which owns it, numbers it and lends it the shared
// evaluation context. Token flow is not reentrant: the context is shared by all nodes of the network.
// Each family has a header of its own; this one gathers them for the network and its users.
#include "rulecraft/rete/ActivationList.h"
#include "rulecraft/rete/JoinNode.h"
#include "rulecraft/rete/PatternMatchNode.h"
#include "rulecraft/rete/ReteNodeBase.h"
#include "rulecraft/rete/TerminalNode.h"
#include "rulecraft/rete/TestNode.h"
