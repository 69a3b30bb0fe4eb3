; Cryptarithmetic: SEND + MORE = MONEY, each letter a different digit and neither S nor M zero. Eight
; digit patterns are joined with inequality constraints on the variables bound before them, so the
; join builds every assignment of distinct digits, and one arithmetic test keeps the sums that add up.

(deffacts digits
  (digit 0) (digit 1) (digit 2) (digit 3) (digit 4)
  (digit 5) (digit 6) (digit 7) (digit 8) (digit 9))

(defrule solve
  (digit ?s&~0)
  (digit ?e&~?s)
  (digit ?n&~?s&~?e)
  (digit ?d&~?s&~?e&~?n)
  (digit ?m&~0&~?s&~?e&~?n&~?d)
  (digit ?o&~?s&~?e&~?n&~?d&~?m)
  (digit ?r&~?s&~?e&~?n&~?d&~?m&~?o)
  (digit ?y&~?s&~?e&~?n&~?d&~?m&~?o&~?r)
  (test (= (+ (* 1000 ?s) (* 100 ?e) (* 10 ?n) ?d (* 1000 ?m) (* 100 ?o) (* 10 ?r) ?e)
           (+ (* 10000 ?m) (* 1000 ?o) (* 100 ?n) (* 10 ?e) ?y)))
  =>
  (printout t "result: send-more-money " ?s ?e ?n ?d " + " ?m ?o ?r ?e " = " ?m ?o ?n ?e ?y crlf))

(reset)
(run)
