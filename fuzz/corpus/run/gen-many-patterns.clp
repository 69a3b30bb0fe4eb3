(defrule r
  (p0 ?x)
  (p1 ?x)
  => (printout t ?x crlf))
(assert (p0 1))
(assert (p1 1))
