(defrule r0 (a ?x&:(> ?x 0)) => (assert (b 0)))
(defrule r1 (a ?x&:(> ?x 1)) => (assert (b 1)))
(assert (a 40))
