; Rule tests and pattern predicates made of integer arithmetic and comparisons, evaluated many times over:
; sums and products that wrap at 32 bits, products beyond 64 bits, floats among integers, a comparison
; that stops before a value that is not a number, and at the end a test that meets one.

(deftemplate n (slot v))

(defrule pair-sums-to-max
  (n (v ?a))
  (n (v ?b&:(> ?b ?a)))
  (test (= (+ ?a ?b) 2147483647))
  =>
  (printout t "max: " ?a " + " ?b crlf))

(defrule wraps
  (n (v ?a&:(< (+ ?a 1) ?a)))
  =>
  (printout t "wraps: " ?a crlf))

(defrule huge-product
  (n (v ?a))
  (test (= (* ?a ?a ?a ?a) 1))
  =>
  (printout t "fourth power 1: " ?a crlf))

(defrule squares
  (n (v ?a))
  (n (v ?b))
  (test (and (numberp ?a) (numberp ?b)))
  (test (= (* ?a ?a) (+ ?b 0)))
  (test (<> ?a ?b))
  =>
  (printout t "square: " ?a " " ?b crlf))

(defrule chain
  (n (v ?a))
  (n (v ?b))
  (n (v ?c))
  (test (< (- ?a) ?b (max ?c 0) 10))
  =>
  (printout t "chain: " ?a " " ?b " " ?c crlf))

(defrule scaled
  (n (v ?a))
  (n (v ?b))
  (test (= (+ (* 3 ?a) (* ?b -2) (* 1000 ?a)) (* ?a 1003) (* 2 (- ?b))))
  =>
  (printout t "scaled: " ?a " " ?b crlf))

(deffacts numbers
  (n (v 0)) (n (v 1)) (n (v 2)) (n (v 4)) (n (v -1)) (n (v 2147483647)) (n (v 2147483646))
  (n (v -2147483648)) (n (v 65536)) (n (v 1.5)) (n (v 2.25)))

(reset)
(run)

(defrule not-a-number
  (n (v ?a))
  (test (> (+ ?a 1) 0))
  =>
  (printout t "positive: " ?a crlf))
(assert (n (v x)))
(run)
