; Redefining a defined type moves the templates using it (by name, or narrowed by a slot's own limits) to
; the new definition: their facts and rules are rebuilt, and what no longer fits is dropped. Removing the
; type removes those templates with their facts and rules; other templates stay.
(deftype percent extends (type INTEGER) (range 0 100))
(deftemplate score (slot pct (type percent)) (slot low (type percent) (range 0 50)))
(deftemplate note (slot text))
(defrule show (score (pct ?p) (low ?l)) => (printout t "score " ?p " " ?l crlf))
(defrule jot (note (text ?t)) => (printout t "note " ?t crlf))
(assert (score (pct 90) (low 40)) (score (pct 30) (low 10)) (note (text hi)))
(run)
; The same definition again: nothing changes.
(deftype percent extends (type INTEGER) (range 0 100))
(facts)
; A narrower range: the fact with 90 no longer fits.
(deftype percent extends (type INTEGER) (range 0 60))
(ppdeftemplate score)
(facts)
(list-defrules)
(run)
(assert (score (pct 60) (low 45)))
(run)
; The slot keeps its own range as written; the type narrows the other slot.
(deftype percent extends (type INTEGER) (range 0 45))
(ppdeftemplate score)
(facts)
(undeftype percent)
(facts)
(list-deftemplates)
(list-defrules)
