; Saving an expert system and loading it into the cleared engine gives the same behaviour.
(deftemplate order (slot id) (slot customer) (slot state (default new)) (multislot tags))
(deftemplate customer (slot id))
(defglobal ?*shop* = main)
(deffacts data
  (customer (id bob))
  (order (id 1) (customer bob) (tags rush gift))
  (order (id 2) (customer cy)))
(defrule ship (declare (salience 5))
  ?o <- (order (customer ?c) (state new) (tags $?t))
  (customer (id ?c))
  =>
  (modify ?o (state shipped)))
(defrule hold
  ?o <- (order (customer ?c&~bob) (state new))
  (not (customer (id ?c)))
  =>
  (modify ?o (state held)))
(watch rules)
(reset)
(run)
(save "/tmp/rulecraft-save-load-test.clp")
(clear)
(load "/tmp/rulecraft-save-load-test.clp")
(reset)
(run)
