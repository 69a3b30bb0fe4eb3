; String building: a sliding window of words is built with str-cat and sym-cat, cut back with
; sub-string and measured with str-length and str-index on every turn of the loop.

(deffunction build-strings (?n)
  (bind ?window "")
  (bind ?letters 0)
  (bind ?marks 0)
  (bind ?i 0)
  (while (< ?i ?n) do
    (bind ?word (sym-cat w (mod (* ?i 7) 1000)))
    (if (= (mod ?i 3) 0) then (bind ?word (upcase ?word)))
    (bind ?window (str-cat ?window ?word "-"))
    (if (> (str-length ?window) 64) then
      (bind ?window (sub-string (+ (str-index "-" ?window) 1) (str-length ?window) ?window)))
    (bind ?letters (+ ?letters (str-length ?word)))
    (bind ?marks (+ ?marks (str-index "-" ?window)))
    (bind ?i (+ ?i 1)))
  (str-cat ?letters " letters, index sum " ?marks ", last window " ?window))

(defrule build
  =>
  (printout t "result: strings " (build-strings 200000) crlf))

(reset)
(run)
