; Required (default ?NONE) and derived (default ?DERIVE) slot defaults: both print back as written, and a
; fact that leaves a required slot out stops the load with an error naming the slot.
(deftemplate monkey
  (slot location (default ?NONE))
  (slot holding (type SYMBOL) (default ?DERIVE))
  (slot energy (type INTEGER) (default ?DERIVE)))
(ppdeftemplate monkey)
(deffacts start (monkey (location door)))
(defrule climb
  (monkey (location ?l) (holding ?h) (energy ?e))
  =>
  (printout t "at " ?l " holding " ?h " energy " ?e crlf))
(reset)
(run)
(assert (monkey (holding bananas)))
(printout t "not reached" crlf)
