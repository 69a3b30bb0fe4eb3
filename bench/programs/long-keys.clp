; A join on long symbol keys: ?*n* left facts and ?*n* right facts carry 16-character keys built from
; a counter whose digits sit at the odd positions, between fixed letters at the even positions, so
; keys differ only at odd positions. The right side is shifted by half, so half the keys meet.
; A driver may redefine ?*n* after loading, then reset and run.

(defglobal ?*n* = 2000)
(defglobal ?*matches* = 0)

(deffunction long-key (?i)
  (bind ?text "")
  (bind ?digits 0)
  (while (< ?digits 8) do
    (bind ?text (str-cat "k" (mod ?i 10) ?text))
    (bind ?i (div ?i 10))
    (bind ?digits (+ ?digits 1)))
  (sym-cat ?text))

(deffunction make-keys (?n)
  (bind ?i 0)
  (while (< ?i ?n) do
    (assert (left (long-key ?i)))
    (bind ?i (+ ?i 1)))
  (bind ?i (div ?n 2))
  (while (< ?i (+ ?n (div ?n 2))) do
    (assert (right (long-key ?i)))
    (bind ?i (+ ?i 1))))

(defrule start
  (declare (salience 10))
  =>
  (make-keys ?*n*))

(defrule meet
  (left ?key)
  (right ?key)
  =>
  (bind ?*matches* (+ ?*matches* 1)))

(defrule report
  (declare (salience -10))
  =>
  (printout t "result: long-keys " ?*n* " facts per side, " ?*matches* " matches" crlf))
