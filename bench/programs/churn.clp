; Fact churn: a counter fact is modified once per tick, and every tick asserts an item that another
; rule retracts at once. Each tick is one modify (a retract and an assert), one assert and one
; retract, so the fact base stays small while the fact identifiers run into the hundreds of thousands.
; The number of ticks is ?*ticks*; a driver may redefine it after loading, then reset and run.

(deftemplate counter (slot n))
(deftemplate item (slot id))

(defglobal ?*ticks* = 200000)
(defglobal ?*consumed* = 0)

(deffacts start
  (counter (n 0)))

(defrule tick
  ?c <- (counter (n ?n&:(< ?n ?*ticks*)))
  =>
  (modify ?c (n (+ ?n 1)))
  (assert (item (id ?n))))

(defrule consume
  (declare (salience 10))
  ?i <- (item (id ?id))
  =>
  (retract ?i)
  (bind ?*consumed* (+ ?*consumed* 1)))

(defrule report
  (counter (n ?n&:(>= ?n ?*ticks*)))
  (not (item (id ?id)))
  =>
  (printout t "result: churn counter " ?n ", " ?*consumed* " items asserted and retracted" crlf))
