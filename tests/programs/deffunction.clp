; Functions written in the rule language: parameters, a multifield last parameter, return, recursion,
; the caller's variables, and their printed form.
(deffunction add (?a ?b) "adds two numbers" (+ ?a ?b))
(add 1 2)
(add 1 2 (this-is-never-called))
(deffunction rest-of (?x $?rest) ?rest)
(rest-of 1 2 3)
(length$ (rest-of 1 a))
(deffunction fact (?n)
  (if (<= ?n 1) then 1 else (* ?n (fact (- ?n 1)))))
(fact 10)
; return leaves the while loop and the function, not the caller
(deffunction first-over (?limit $?values)
  (foreach v ?values
    (if (> ?v ?limit) then (return ?v)))
  none)
(first-over 3 1 2 5 7)
(first-over 9 1 2)
(deffunction count-to (?n)
  (bind ?i 0)
  (while TRUE do
    (bind ?i (+ ?i 1))
    (if (>= ?i ?n) then (return (* ?i 100))))
  never)
(+ (count-to 4) 1)
; a parameter's argument already sees the parameters bound before it
(deffunction second (?a ?b) ?b)
(deffunction outer (?a) (second 1 ?a))
(outer 5)
(defglobal ?*a* = 5)
; bind to a global from inside a function changes the global
(deffunction set-a (?v) (bind ?*a* ?v) ?*a*)
(set-a 42)
?*a*
(deffunction nothing ())
(nothing)
; a function used by a rule, defined after the rule
(defrule big (value ?x&:(big-p ?x)) => (printout t ?x " is big" crlf))
(deffunction big-p (?x) (> ?x 100))
(assert (value 5) (value 500))
(run)
; redefining replaces the function
(deffunction add (?a ?b) (- ?a ?b))
(add 10 3)
; saved functions read back and work the same
(save "deffunction.tmp")
(clear)
(load "deffunction.tmp")
(remove "deffunction.tmp")
(add 10 3)
(fact 5)
(first-over 3 1 2 5 7)
(rest-of 1 2 3)
(count-to 2)
; runaway recursion is a clear error, not a crash
(deffunction forever (?n) (forever (+ ?n 1)))
(forever 1)
