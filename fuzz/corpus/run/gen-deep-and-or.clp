(defrule r (a ?x) (and (or (and (or (and (or (and (or (and (or (and (or (and (or (and (or (and (or (and (or (and (or (and (or (and (or (and (or (and (or (and (or (and (or (and (or (and (or (and (or (b ?x)) (c))) (c))) (c))) (c))) (c))) (c))) (c))) (c))) (c))) (c))) (c))) (c))) (c))) (c))) (c))) (c))) (c))) (c))) (c))) (c)) => )
(assert (a 1) (b 1) (c))
