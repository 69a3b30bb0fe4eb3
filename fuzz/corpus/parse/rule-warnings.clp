; Rules with likely mistakes are defined with a warning on the standard error; the program goes on.
(deftemplate block (slot name) (multislot on))

(defrule stack-report
  (block (name ?b) (on $?below))
  =>
  (printout t "block " ?block " rests on " (length$ $?below) " blocks" crlf))

(defrule height
  (block (name $?b) (on $?below))
  =>
  (printout t ?b " is at height " (+ 1 $?below) crlf))

(defrule fine
  ?f <- (block (name ?b) (on $?below))
  =>
  (bind ?n (length$ $?below))
  (printout t ?b " rests on " ?n " blocks" crlf)
  (retract ?f))

(list-defrules)
(undefrule stack-report)
(undefrule height)
(assert (block (name a) (on b c)))
(run)
