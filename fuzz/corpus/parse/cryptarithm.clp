; Cryptarithmetic, column by column: BASE + BALL = GAMES, each letter a different digit, B and G not zero.
; Each rule solves one column from the partial solutions of the column to its right, so only the digit
; choices that agree with every column so far go on to the next: units E + L = S (carry c1), tens
; S + L + c1 = E (carry c2), hundreds A + A + c2 = M (carry c3), thousands B + B + c3 = A (carry c4), and
; the carry out of the thousands is G.

(deffacts digits
  (digit 0) (digit 1) (digit 2) (digit 3) (digit 4)
  (digit 5) (digit 6) (digit 7) (digit 8) (digit 9))

(defglobal ?*partials* = 0)

(defrule units-column
  (digit ?e)
  (digit ?l&~?e)
  (digit ?s&~?e&~?l&:(= ?s (mod (+ ?e ?l) 10)))
  =>
  (bind ?*partials* (+ ?*partials* 1))
  (assert (units ?e ?l ?s (div (+ ?e ?l) 10))))

(defrule tens-column
  (units ?e ?l ?s ?c1)
  (test (= ?e (mod (+ ?s ?l ?c1) 10)))
  =>
  (bind ?*partials* (+ ?*partials* 1))
  (assert (tens ?e ?l ?s (div (+ ?s ?l ?c1) 10))))

(defrule hundreds-column
  (tens ?e ?l ?s ?c2)
  (digit ?a&~?e&~?l&~?s)
  (digit ?m&~?e&~?l&~?s&~?a&:(= ?m (mod (+ ?a ?a ?c2) 10)))
  =>
  (bind ?*partials* (+ ?*partials* 1))
  (assert (hundreds ?e ?l ?s ?a ?m (div (+ ?a ?a ?c2) 10))))

(defrule thousands-column
  (hundreds ?e ?l ?s ?a ?m ?c3)
  (digit ?b&~0&~?e&~?l&~?s&~?a&~?m&:(= ?a (mod (+ ?b ?b ?c3) 10)))
  =>
  (bind ?*partials* (+ ?*partials* 1))
  (assert (thousands ?e ?l ?s ?a ?m ?b (div (+ ?b ?b ?c3) 10))))

(defrule last-carry
  (thousands ?e ?l ?s ?a ?m ?b ?c4)
  (digit ?g&?c4&~0&~?e&~?l&~?s&~?a&~?m&~?b)
  =>
  (printout t "BASE + BALL = GAMES: " ?b ?a ?s ?e " + " ?b ?a ?l ?l " = " ?g ?a ?m ?e ?s crlf))

(defrule count
  (declare (salience -10))
  =>
  (printout t ?*partials* " partial solutions tried" crlf))

(reset)
(run)
