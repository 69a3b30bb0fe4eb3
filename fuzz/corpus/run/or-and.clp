; Left-hand sides with or and and elements: a rule fires once for each alternative that matches, under its
; own name and salience; not and exists take several elements; the rule prints, saves and goes as one.
(deftemplate part (slot id) (slot kind))
(deftemplate stock (slot id) (slot count))
(deftemplate order (slot id) (slot part))
(deftemplate hold (slot part))
(deftemplate supplier (slot part) (slot state))

; An order can be served from stock, or from a supplier that is active and has no hold on the part.
(defrule serve
  (declare (salience 10))
  (order (id ?o) (part ?p))
  (or (stock (id ?p) (count ?n&:(> ?n 0)))
      (and (supplier (part ?p) (state active))
           (not (hold (part ?p)))))
  =>
  (printout t "order " ?o " can be served: " ?p crlf))

; A part nobody can deliver: no stock and no active supplier.
(defrule stranded
  (order (id ?o) (part ?p))
  (not (or (stock (id ?p))
           (supplier (part ?p) (state active))))
  =>
  (printout t "order " ?o " is stranded: " ?p crlf))

; A part on hold and also in stock: a not and an exists over two elements each.
(defrule check-hold
  (part (id ?p) (kind ?k))
  (exists (and (hold (part ?p))
               (stock (id ?p) (count ?n&:(> ?n 0)))))
  (not (and (order (part ?p))
            (supplier (part ?p) (state active))))
  =>
  (printout t "part " ?p " (" ?k ") is held in stock with no active order supply" crlf))

; The kind may come from either alternative: ?k is bound in both.
(defrule describe
  (declare (salience -5))
  (or (part (id ?p) (kind ?k))
      (and (order (part ?p)) (test (eq ?p gear)) (supplier (part ?p) (state ?k))))
  =>
  (printout t "describe " ?p ": " ?k crlf))

(deffacts shop
  (part (id bolt) (kind metal))
  (part (id gear) (kind metal))
  (part (id seal) (kind rubber))
  (stock (id bolt) (count 4))
  (stock (id seal) (count 2))
  (hold (part seal))
  (supplier (part bolt) (state active))
  (supplier (part gear) (state active))
  (order (id 1) (part bolt))
  (order (id 2) (part gear))
  (order (id 3) (part nut)))

(reset)
(agenda)
(run)
(ppdefrule serve)
(ppdefrule check-hold)
; Saved and read back, the rules are the same rules.
(clear)
(ppdefrule serve)
(rules)
(reset)
(watch rules)
(printout t "fired again: " (run) crlf)
(unwatch rules)
; Removing the rule removes every alternative's activations.
(reset)
(undefrule serve)
(agenda)
; A variable the actions use must be bound in every alternative.
(defrule bad
  (or (order (id ?o))
      (hold (part ?p)))
  =>
  (printout t ?o crlf))
