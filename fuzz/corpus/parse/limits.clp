; The host's limits from the command line (see limits.args): at most four facts and five firings per run.
; Each error is reported at the prompt and the engine goes on (see limits.in).
(defrule count ?f <- (n ?x) => (retract ?f) (assert (n (+ ?x 1))))
(defrule fill (fill ?x) => (assert (filled ?x)))
(reset)
(assert (n 0))
