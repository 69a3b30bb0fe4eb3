; Interpreted functions: a doubly recursive Fibonacci, a trial-division prime test called in a loop,
; and an iterative sum, all run from one rule.

(deffunction fib (?n)
  (if (< ?n 2) then ?n else (+ (fib (- ?n 1)) (fib (- ?n 2)))))

(deffunction prime-p (?n)
  (if (< ?n 2) then (return FALSE))
  (bind ?d 2)
  (while (<= (* ?d ?d) ?n) do
    (if (= (mod ?n ?d) 0) then (return FALSE))
    (bind ?d (+ ?d 1)))
  TRUE)

(deffunction count-primes (?limit)
  (bind ?count 0)
  (bind ?i 2)
  (while (<= ?i ?limit) do
    (if (prime-p ?i) then (bind ?count (+ ?count 1)))
    (bind ?i (+ ?i 1)))
  ?count)

(deffunction sum-squares (?n)
  (bind ?sum 0)
  (bind ?i 1)
  (while (<= ?i ?n) do
    (bind ?sum (+ ?sum (* ?i ?i)))
    (bind ?i (+ ?i 1)))
  ?sum)

(defrule compute
  =>
  (printout t "result: functions fib(23) = " (fib 23) ", " (count-primes 50000)
              " primes up to 50000, sum of squares to 1500 = " (sum-squares 1500) crlf))

(reset)
(run)
