; A rule that needs a fact asks for it: the goal fact need-price appears, and a rule answering the goal
; supplies the price, so the first rule can fire.
(deftemplate item (slot name))
(deftemplate price (slot item) (slot amount))
(do-backward-chaining price)

(defrule quote
  (item (name ?n))
  (price (item ?n) (amount ?a))
  =>
  (assert (quoted ?n ?a)))

(defrule answer-price
  (need-price (item ?n))
  =>
  (assert (price (item ?n) (amount 10))))

(watch facts)
(watch rules)
(reset)
(assert (item (name lamp)))
(run)
