; A match is withdrawn when one of its facts goes: the activations leave the agenda in the order the
; engine has always withdrawn them, through joins keyed on a shared variable with several partners on
; each side, through negated elements, and for a rule added after its facts were there.
(deftemplate owner (slot group) (slot name) (slot min (default 0)))
(deftemplate item (slot group) (slot n))
(deftemplate tag (slot n) (slot label))
(defglobal ?*shift* = 0)

; Three patterns joined on ?g and ?n: a partial match meets several items, an item several owners.
(defrule pair
  (owner (group ?g) (name ?o))
  (item (group ?g) (n ?n))
  (tag (n ?n) (label ?l))
  =>
  (printout t "pair " ?o " " ?n " " ?l crlf))

; An owner with no item of its group above its minimum.
(defrule lonely
  (owner (group ?g) (name ?o) (min ?m))
  (not (item (group ?g) (n ?n&:(> ?n ?m))))
  =>
  (printout t "lonely " ?o crlf))

(watch activations)
(reset)
(assert (owner (group a) (name x)))
(assert (item (group a) (n 1)))
(assert (item (group a) (n 2)))
(assert (item (group b) (n 3)))
(assert (item (group a) (n 4)))
(assert (tag (n 1) (label one)))
(assert (tag (n 2) (label two)))
(assert (tag (n 4) (label four)))
(assert (tag (n 4) (label vier)))
(assert (owner (group a) (name y) (min 3)))
(assert (owner (group b) (name z) (min 5)))
(assert (owner (group c) (name w)))
(printout t "-- an owner leaves" crlf)
(retract 1)
(printout t "-- an item leaves" crlf)
(retract 5)
(printout t "-- a tag leaves" crlf)
(retract 9)
(printout t "-- an owner changes group" crlf)
(modify 10 (group b))
(printout t "-- an item changes group and blocks, then unblocks" crlf)
(modify 4 (group c))
(modify 14 (n 0))
(modify 15 (group a))
(agenda)
(assert (owner (group a) (name v) (min 1)))
(assert (owner (group a) (name u) (min 8)))
(assert (item (group a) (n 4)))

; A rule added after its facts: it shares the first join of pair and is primed from the stored matches.
(defrule pair-again
  (owner (group ?g) (name ?o))
  (item (group ?g) (n ?n))
  =>
  (printout t "again " ?o " " ?n crlf))
; A join whose test calls a function: when it is primed its test answers otherwise than before.
(defrule above
  (owner (group ?g) (name ?o) (min ?m))
  (item (group ?g) (n ?n&:(> (+ ?n ?*shift*) ?m)))
  =>
  (printout t "above " ?o " " ?n crlf))
(bind ?*shift* 10)
(defrule above-shifted
  (owner (group ?g) (name ?o) (min ?m))
  (item (group ?g) (n ?n&:(> (+ ?n ?*shift*) ?m)))
  (tag (n ?n))
  =>
  (printout t "above shifted " ?o " " ?n crlf))
(agenda)
(printout t "-- an owner leaves" crlf)
(retract 17)
(printout t "-- the items leave" crlf)
(retract 2 3 18)
(agenda)
(run)
