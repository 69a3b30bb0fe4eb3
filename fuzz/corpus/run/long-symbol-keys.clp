; Keys of sixteen and more characters that differ only at the odd positions, which the published text hash
; skips: each key meets only its own partner, equal facts are refused once, and the fact base and the
; rules tell every key apart.

(deftemplate left (slot key) (slot n))
(deftemplate right (slot key) (slot m))

(defrule meet
  (left (key ?k) (n ?n))
  (right (key ?k) (m ?m))
  =>
  (printout t "meet " ?n " " ?m " " ?k crlf))

(defrule same-text
  (left (key ?k) (n ?n))
  (right (key ?s&:(and (stringp ?s) (eq (str-cat ?s) (str-cat ?k)))) (m ?m))
  =>
  (printout t "same text " ?n " " ?m crlf))

(deffacts keys
  (left (key a0b0c0d0e0f0g0h0) (n 1))
  (left (key a1b0c0d0e0f0g0h0) (n 2))
  (left (key a0b0c0d0e0f0g0h1) (n 3))
  (left (key a9b9c9d9e9f9g9h9i9j9k9l9m9n9o9p9q9r9) (n 4))
  (left (key a9b9c9d9e9f9g9h9i9j9k9l9m9n9o9p9q9r8) (n 5))
  (right (key a0b0c0d0e0f0g0h1) (m 10))
  (right (key a0b0c0d0e0f0g0h0) (m 20))
  (right (key a0b0c0d0e0f0g0h2) (m 30))
  (right (key a9b9c9d9e9f9g9h9i9j9k9l9m9n9o9p9q9r8) (m 40))
  (right (key "a0b0c0d0e0f0g0h0") (m 50))
  (right (key a1b0c0d0e0f0g0h0) (m 60)))

(reset)
(run)
(printout t "assert again: " (assert (left (key a1b0c0d0e0f0g0h0) (n 2))) crlf)
(printout t "assert new: " (assert (left (key a3b0c0d0e0f0g0h0) (n 2))) crlf)
(printout t "ordered: " (assert (pair x0y0x0y0x0y0x0y0)) " " (assert (pair x0y0x0y0x0y0x0y1))
  " " (assert (pair x0y0x0y0x0y0x0y0)) crlf)
(printout t "eq: " (eq a0b0c0d0e0f0g0h0 a0b0c0d0e0f0g0h1) " " (eq a0b0c0d0e0f0g0h0 a0b0c0d0e0f0g0h0)
  " " (eq "a0b0c0d0e0f0g0h0" a0b0c0d0e0f0g0h0) crlf)
