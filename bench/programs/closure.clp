; Transitive closure: which nodes can reach which? The graph is a chain of nodes 1 -> 2 -> ... -> N
; with a forward shortcut i -> i+5 from every tenth node, so many paths are derived more than once
; and the repeated asserts must be refused as duplicates. Every pair i < j is a path: N(N-1)/2 facts.
; The number of nodes is ?*nodes*; a driver may redefine it after loading, then reset, build the graph
; with (make-graph ?*nodes*) and run.

(defglobal ?*nodes* = 300)
(defglobal ?*paths* = 0)

(deffunction make-graph (?n)
  (bind ?i 1)
  (while (< ?i ?n) do
    (assert (edge ?i (+ ?i 1)))
    (if (and (= (mod ?i 10) 0) (<= (+ ?i 5) ?n)) then (assert (edge ?i (+ ?i 5))))
    (bind ?i (+ ?i 1))))

(defrule direct
  (edge ?a ?b)
  =>
  (assert (path ?a ?b)))

(defrule extend
  (edge ?a ?b)
  (path ?b ?c)
  =>
  (assert (path ?a ?c)))

(defrule count-path
  (declare (salience -10))
  (path ?a ?c)
  =>
  (bind ?*paths* (+ ?*paths* 1)))

(defrule report
  (declare (salience -20))
  =>
  (printout t "result: closure of " ?*nodes* " nodes, " ?*paths* " paths" crlf))
