; matches tells why a rule does or does not fire; why tells which firing asserted a fact.
(deftemplate order (slot id) (slot status) (slot qty))
(deftemplate stock (slot item) (slot qty))

(defrule ship "an order ready, its item in stock"
  (order (id ?o) (status ready))
  (stock (item ?o) (qty ?q&:(> ?q 0)))
  =>
  (assert (shipment ?o)))

(defrule unpaid (order (id ?o)) (not (paid ?o)) => (printout t "order " ?o " is unpaid" crlf))
(defrule bulk (order (id ?o) (qty ?n)) (test (>= ?n 10)) => )
(defrule plenty (stock (item ?i) (qty ?q&:(> ?q 5))) => )
(defrule close ?order <- (order (id ?o) (status ready)) (shipment ?o) => (modify ?order (status shipped)))

(deffacts start
  (order (id 17) (status ready) (qty 2))
  (order (id 18) (status new) (qty 4))
  (stock (item 5) (qty 3))
  (paid 17) (paid 18))
(reset)

; blocked at the join: the order wants item 17, the only stock is item 5
(matches ship)
; blocked by a negated pattern, by a test element, by a predicate on a field
(matches unpaid)
(matches bulk)
(matches plenty)

(assert (stock (item 17) (qty 0)))
(matches ship)
(modify 6 (qty 1))
(matches ship)
(run)
(facts)
; the shipment was asserted by ship; close modified the order, which took a new identifier
(why 8)
(why f-9)
; asserted at the reset, and by the prompt
(why 2)
(why 7)
; the rule goes, its source facts go: why still names them
(undefrule ship)
(retract 7)
(why 8)
(matches close)
(matches nosuch)
