; Texts built by the string functions (str-cat, sym-cat, sub-string, upcase, lowcase) against the same texts
; written out: they are equal as values, join as keys, count as duplicates, and convert like any text.

(deftemplate key (slot text) (slot n))
(deftemplate probe (slot text) (slot m))

(defrule meet
  (key (text ?t) (n ?n))
  (probe (text ?t) (m ?m))
  =>
  (printout t "meet " ?n " " ?m " " ?t crlf))

(deffunction built (?i)
  (sym-cat (sub-string 1 8 "a0b0c0d0e0f0") (upcase "e") ?i (lowcase "F0G0H0")))

(deffacts keys
  (key (text a0b0c0d0E1f0g0h0) (n 1))
  (key (text a0b0c0d0E2f0g0h0) (n 2))
  (key (text "a0b0c0d0E1f0g0h0") (n 3)))

(reset)
(assert (probe (text (built 1)) (m 10)))
(assert (probe (text (str-cat (built 1))) (m 20)))
(assert (probe (text (built 3)) (m 30)))
(run)
(printout t "duplicate: " (assert (key (text (built 2)) (n 2))) crlf)
(printout t "eq: " (eq (built 1) a0b0c0d0E1f0g0h0) " " (eq (built 1) (str-cat (built 1)))
  " " (eq (str-cat (built 1)) "a0b0c0d0E1f0g0h0") " " (neq (built 1) (built 2)) crlf)
(printout t "eq*: " (eq* (str-cat (built 1)) (built 1)) " " (eq* (sym-cat 1 2) 12) crlf)
(printout t "member: " (member$ (built 2) (create$ x (built 1) a0b0c0d0E2f0g0h0)) crlf)
(printout t "number: " (+ (sym-cat 4 2) 1) " " (str-length (str-cat (built 1) (built 2))) crlf)
(printout t "keyword: " (if (sym-cat TR UE) then yes else no) " " (if (sym-cat FAL SE) then yes else no)
  crlf)
(bind ?k (built 3))
(printout t "bound: " ?k " " (eq ?k a0b0c0d0E3f0g0h0) " " (symbolp ?k) " " (stringp (str-cat ?k)) crlf)
