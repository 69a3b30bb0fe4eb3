; A variable rebound to a number keeps every earlier holder of its value unchanged: a list, a fact and
; another variable still show the old number. Counters change kind with their values, texts built from
; many arguments and numbers read as the string functions read them.

(deftemplate seen (slot n))

(defglobal ?*total* = 0)

(deffunction count-up (?n)
  (bind ?i 0)
  (bind ?kept (create$))
  (while (< ?i ?n) do
    (bind ?kept (create$ ?kept ?i))
    (bind ?i (+ ?i 1)))
  (create$ ?i ?kept))

(deffunction shared (?start)
  (bind ?x ?start)
  (bind ?y ?x)
  (bind ?x (+ ?x 1))
  (assert (seen (n ?x)))
  (bind ?x (* ?x 10))
  (create$ ?x ?y))

(deffunction kinds ()
  (bind ?v 1)
  (bind ?v (+ ?v 0.5))
  (bind ?w ?v)
  (bind ?v (div 7 2))
  (bind ?v (- ?v 1))
  (create$ ?v ?w (float ?v)))

(deffunction add-to-total (?n)
  (bind ?k 1)
  (while (<= ?k ?n) do
    (bind ?*total* (+ ?*total* ?k))
    (bind ?k (+ ?k 1)))
  ?*total*)

(printout t (count-up 5) crlf)
(printout t (shared 4) crlf)
(printout t (kinds) crlf)
(printout t (add-to-total 10) " " (add-to-total 3) crlf)
(printout t (bind ?top 2147483647) " " (bind ?top (+ ?top 1)) crlf)
(printout t (str-cat a 1 2.5 b "c" d e f g h i j k l) crlf)
(printout t (sym-cat x (mod 17 5) (/ 1 4)) crlf)
(printout t (str-length "abcdef") " " (+ (str-length "abc") 1) " " (* 2 (str-length (str-cat ab cd))) crlf)
(printout t (sub-string (/ 4 2) (+ 1 2) "abcdef") " " (sub-string (+ (str-index "c" "abcdef") 0) 6 "abcdef") crlf)
(reset)
(assert (seen (n 0)))
(printout t (shared 7) crlf)
(facts)
