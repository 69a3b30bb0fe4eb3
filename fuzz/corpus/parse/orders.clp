; Orders, customers and a blacklist: joins, a negated pattern, exists, salience and modify.
(deftemplate order (slot id) (slot customer) (slot state (default new)))
(deftemplate customer (slot id) (slot status))
(deftemplate blocked (slot customer))

(deffacts data
  (customer (id bob) (status gold))
  (customer (id ann) (status plain))
  (order (id 1) (customer bob))
  (order (id 2) (customer ann))
  (order (id 3) (customer cy))
  (blocked (customer ann)))

(defrule unknown-customer (declare (salience 10))
  ?o <- (order (id ?id) (customer ?c) (state new))
  (not (customer (id ?c)))
  =>
  (modify ?o (state rejected)))

(defrule blocked-customer (declare (salience 5))
  ?o <- (order (customer ?c) (state new))
  (exists (blocked (customer ?c)))
  =>
  (modify ?o (state held)))

(defrule ship
  ?o <- (order (id ?id) (customer ?c) (state new))
  (customer (id ?c))
  =>
  (modify ?o (state shipped)))

(watch rules)
(reset)
(run)
(unwatch rules)
(watch facts)
(retract 6)
