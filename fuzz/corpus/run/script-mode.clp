; A program run as a script (-q): its top-level results are not echoed, what it prints still appears, and
; each logical name goes where the program's help says.
(deftemplate item (slot n))
(defrule show
  (item (n ?n))
  =>
  (printout t "item " ?n crlf)
  (printout nil "discarded " ?n crlf))
(reset)
(assert (item (n 1)) (item (n 2)))
(run)
(+ 1 2)
(printout stdout "to stdout" crlf)
(printout wdisplay "to wdisplay" crlf)
(printout werror "to werror" crlf)
(printout wwarning "to wwarning" crlf)
(printout nil "nowhere" crlf)
(printout t "done" crlf)
(facts)
