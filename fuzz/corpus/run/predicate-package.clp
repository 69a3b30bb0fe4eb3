; Type predicates answer for the kind of the evaluated argument; parity tests read the integer reading;
; get-type names the kind. A pattern variable or a nested call is evaluated before it is tested.
(numberp 3)
(numberp 3.0)
(numberp "3")
(numberp (+ 1 2))
(lexemep abc)
(lexemep "abc")
(lexemep 1)
(symbolp abc)
(symbolp "abc")
(stringp "abc")
(stringp abc)
(integerp 3)
(integerp 3.0)
(floatp 3.0)
(floatp (/ 4 2))
(multifieldp abc)
(fuzzyp 1)
(external-addressp 1)
(objectp 1)

; Parity: a float is read as its integer, truncated toward zero.
(oddp -3)
(evenp -3)
(evenp 0)
(evenp 4.7)
(oddp 5.9)
(oddp -2147483647)
(evenp -2147483648)
(evenp (str-length "abcd"))

; The names of the kinds, prefix included.
(get-type 1)
(get-type 1.5)
(get-type "s")
(get-type abc)
(get-type (PI))
(get-type (sym-cat "a" 1))
(get-type (assert (token)))

; Pattern variables are tested by their bound values; a multifield variable is a list.
(watch facts)
(deftemplate item (slot value) (multislot parts))
(defrule describe
  (item (value ?v) (parts $?p))
  =>
  (assert (kind ?v (get-type ?v) (stringp ?v) (numberp ?v) (get-type $?p) (multifieldp $?p) (lexemep $?p))))
(assert (item (value "x") (parts a b)))
(assert (item (value 2.5) (parts)))
(run)

; Parity needs a number: the integer reading of a string fails.
(evenp "x")
