; A single slot given two fields stops the load with the line and the text read so far.
(deftemplate point (slot x) (slot y))
(assert (point (x 1) (y 2)))

(defrule r
  (point (x 1 2))
  =>)
(assert (point (x 3) (y 4)))
