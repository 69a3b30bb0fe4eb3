; Control flow typed at the top level and used in rules: bind, if, while, foreach, return, try, throw.
(bind ?i 0)
(while (< ?i 3) do (bind ?i (+ ?i 1)))
?i
(if (> ?i 2) then big else small)
(if FALSE then 1)
(if TRUE then 1 2 else 3)
(if FALSE then 1 else 3 4)
(while TRUE (bind ?i (+ ?i 1)) (if (>= ?i 5) then (return stopped)))
?i
(try (throw boom) catch ?__ERROR)
(try (throw boom) finally (bind ?cleaned yes))
?cleaned
(try (if TRUE 1) catch ?__ERROR)
(try (try 1 2) except ?__ERROR)
(try (try (throw inner) catch (throw (str-cat ?__ERROR "-again"))) catch ?__ERROR)
(__get-var cleaned)
(__get-var nothing-here)

(defglobal ?*items* = 0)
(deftemplate basket (slot owner) (multislot items))
(defrule count-items
  (basket (owner ?o) (items $?items))
  =>
  (bind ?n 0)
  (foreach item ?items (bind ?n (+ ?n 1)) (bind ?*items* (+ ?*items* 1)))
  (assert (count ?o ?n)))
(defrule big-basket
  (count ?o ?n)
  (test (>= ?n 3))
  =>
  (bind ?k 0)
  (while TRUE
    (bind ?k (+ ?k 1))
    (if (= ?k 2) then (assert (big ?o)) (return ?k)))
  (assert (never ?o)))

(watch facts)
(reset)
(assert (basket (owner ann) (items apple pear plum)))
(assert (basket (owner bob) (items fig)))
(run)
?*items*
(reset)
?*items*
; an empty list runs no statement and answers nil
(foreach x (create$) (printout t "never" crlf))
; nested try: the inner finally runs, the outer catch sees the inner catch's error
(try
  (try (printout t "inner" crlf) (throw first)
   finally (printout t "inner finally" crlf)
   catch (printout t "inner caught " ?__ERROR crlf) (throw second))
 finally (printout t "outer finally" crlf)
 catch (printout t "outer caught " ?__ERROR crlf) done)
; a return inside a protected part leaves the try and the loop around it, the finally part still runs
(bind ?n 0)
(while TRUE
  (bind ?n (+ ?n 1))
  (try (if (= ?n 3) then (return (* ?n 10))) finally (printout t "finally " ?n crlf)))
; a return typed at the top level answers its expression's value
(while TRUE (return (+ 1 2)))
(try (exit) catch caught)
(assert (not-reached))
