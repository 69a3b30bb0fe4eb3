; The variables of firings and function calls: every call of a recursive function keeps its own
; parameters and locals, a local bound in one call or firing is unbound in the next, and a function
; still reads and binds the variables of whoever calls it.
(deffunction sum-down (?n)
  (if (<= ?n 0) then 0
   else (bind ?rest (sum-down (- ?n 1))) (+ ?n ?rest)))
(sum-down 600)
(deffunction pair-down (?a ?b)
  (if (<= ?a 0) then (create$ ?a ?b)
   else (bind ?inner (pair-down (- ?a 1) (+ ?b 1))) (create$ ?a ?b ?inner)))
(pair-down 3 10)
; a local of the previous call is gone
(deffunction fresh () (bind ?before (__get-var seen)) (bind ?seen TRUE) ?before)
(printout t "fresh: " (fresh) crlf)
(printout t "fresh: " (fresh) crlf)
; a repeated parameter name: the later argument wins
(deffunction twice (?x ?x) ?x)
(twice 1 2)
(deftemplate tick (slot n))
(defrule count-ticks
  (tick (n ?n))
  =>
  (printout t "tick " ?n ", seen before: " (__get-var seen) ", rule " ?__RULE crlf)
  (bind ?seen ?n))
(assert (tick (n 1)) (tick (n 2)) (tick (n 3)))
(run)
; a function reads and binds the variables of the firing that calls it
(deffunction peek () ?v)
(deffunction poke () (bind ?v (* ?v 10)) (bind ?w 7))
(defrule caller
  (value ?v)
  =>
  (poke)
  (printout t "value " (peek) ", w " (__get-var w) crlf))
(assert (value 4))
(run)
; a rule bound variable left unbound by a not element is looked for outside
(defglobal ?*x* = global)
(defrule absent
  (start)
  (not (missing ?x))
  =>
  (printout t "x is " (__get-var x) ", global " ?*x* crlf)
  (bind ?*x* changed))
(assert (start))
(run)
?*x*
; a variable no frame of the chain binds is an error
(deffunction unknown () ?nowhere)
(unknown)
