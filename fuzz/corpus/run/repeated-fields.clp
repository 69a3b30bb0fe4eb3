; A variable repeated within one pattern compares the fields it stands for: fields of an ordered fact, with
; or without a multifield variable between them, fields of a multislot and a slot, and a negated repeat.
(defrule ends-equal (t ?x $?m ?x) => (printout t "ends-equal " ?x " around " ?m crlf))
(defrule last-two-equal (t $?m ?x ?x) => (printout t "last-two-equal " ?x " after " ?m crlf))
(defrule two-different (t ?x ~?x) => (printout t "two-different " ?x crlf))
(defrule three-equal (t ?x ?x ?x) => (printout t "three-equal " ?x crlf))
(deftemplate s (multislot f) (slot g))
(defrule fields-and-slot (s (f ?x ?x) (g ?x)) => (printout t "fields-and-slot " ?x crlf))

(assert (t 1 2 1) (t 1 2 2) (t 3 4) (t 5 5) (t 7 7 7) (t 1 2 3 1))
(assert (s (f 1 1) (g 1)) (s (f 1 2) (g 1)) (s (f 2 2) (g 1)))
(run)
