; Variables first used inside a negated element belong to that element: several negated elements of one
; rule may each use the same name for their own purpose.
(deftemplate cell (slot id) (slot value))
(deftemplate rank (slot value))
(deftemplate technique (slot name) (slot rank))
(deftemplate done (slot name))

; The highest cell value and the lowest technique rank: each negated element has its own ?p.
(defrule extremes
  (cell (id ?c) (value ?v))
  (not (cell (value ?p&:(> ?p ?v))))
  (technique (name ?t) (rank ?r))
  (not (technique (rank ?p&:(< ?p ?r))))
  =>
  (printout t "highest " ?c " = " ?v ", first technique " ?t crlf))

; The same name in a negated element and in an exists element, both on their own.
(defrule unranked-technique
  (technique (name ?t) (rank ?r))
  (not (rank (value ?p&:(= ?p ?r))))
  (exists (rank (value ?p&:(> ?p ?r))))
  =>
  (printout t ?t " has no rank of its own but a higher one exists" crlf))

; Two exists elements each with their own ?p, and a doubly negated one.
(defrule both-kinds
  (exists (cell (value ?p&:(> ?p 8))))
  (exists (technique (rank ?p&:(< ?p 2))))
  (not (exists (done (name ?p&:(eq ?p both)))))
  =>
  (printout t "a large cell and an early technique" crlf)
  (assert (done (name both))))

; A variable bound before the negated elements is shared by them, not local.
(defrule shared
  (cell (id ?c) (value 3))
  (not (technique (name ?c)))
  (not (done (name ?c)))
  =>
  (printout t "cell " ?c " is neither a technique nor done" crlf))

(deffacts puzzle
  (cell (id a) (value 3))
  (cell (id b) (value 9))
  (cell (id c) (value 5))
  (technique (name single) (rank 1))
  (technique (name pair) (rank 4))
  (technique (name wing) (rank 6))
  (rank (value 1))
  (rank (value 4))
  (rank (value 7)))

(reset)
(run)
(ppdefrule both-kinds)
