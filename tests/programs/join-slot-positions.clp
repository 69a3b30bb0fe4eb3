; Joins read slots by position: facts of a template and of templates extending it (whose slots sit at
; other positions) meet on one join, alternately on each side, and compare atoms, strings, integers and
; floats by kind and value.
(deftemplate part (slot name) (slot owner))
(deftemplate big-part extends part (slot mass))
(deftemplate huge-part extends big-part (slot axle))
(deftemplate person (slot name))

(defrule owns
  (person (name ?n))
  (part (owner ?n) (name ?p))
  =>
  (printout t "owns " ?n " " ?p crlf))

(defrule other-owner
  (part (name ?p) (owner ?o))
  (part (name ?q&~?p) (owner ~?o))
  =>
  (printout t "other " ?p " " ?q crlf))

(defrule same-owner
  (part (name ?p) (owner ?o))
  (big-part (name ?q&~?p) (owner ?o))
  =>
  (printout t "same " ?o ": " ?p " " ?q crlf))

; Two tests of one join read the same field of the right fact.
(defrule owner-neither
  (person (name ?n))
  (person (name ?m&~?n))
  (big-part (owner ?o&~?n&~?m) (name ?p))
  =>
  (printout t "neither " ?n " " ?m ": " ?p crlf))

(assert (person (name ann)))
(assert (person (name "ann")))
(assert (person (name 1)))
(assert (part (name wheel) (owner ann)))
(assert (big-part (name hull) (owner "ann") (mass 9)))
(assert (huge-part (name mast) (owner 1.0) (mass 90) (axle x)))
(assert (huge-part (name keel) (owner 1) (axle y)))
(assert (big-part (name sail) (owner ann)))
(run)
