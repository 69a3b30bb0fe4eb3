(defrule r (a ?x) (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (not (b ?x))))))))))))))))))))))))))))))))))))))))) => )
(assert (a 1))
