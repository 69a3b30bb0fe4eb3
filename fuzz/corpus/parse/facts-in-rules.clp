; Facts changed from rules: assert-string, duplicate, retract, get-slot-value, and activation traces.
(deftemplate item (slot name) (slot count (default 0)))
(deftemplate copy (slot of))

(defrule count-up
  ?i <- (item (name ?n) (count 0))
  =>
  (duplicate ?i (count 1))
  (retract ?i))

(defrule note-copy
  (item (name ?n) (count 1))
  (not (copy (of ?n)))
  =>
  (assert-string (str-cat "(copy (of " ?n "))")))

(watch activations)
(reset)
(assert (item (name pen)))
(assert (item (name cup)))
(run)
(get-slot-value 5 count)
(watch facts)
(retract 6)
