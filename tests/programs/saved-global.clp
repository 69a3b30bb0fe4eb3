; A saved global whose initial value calls a deffunction reads back: the saved file defines the functions
; before the globals.
(deffunction twice (?x) (* 2 ?x))
(defglobal ?*answer* = (twice 21))
(save "/tmp/rulecraft-saved-global-test.clp")
(clear)
(load "/tmp/rulecraft-saved-global-test.clp")
(printout t "answer " ?*answer* crlf)
(bind ?*answer* 0)
(reset)
(printout t "after reset " ?*answer* crlf)
