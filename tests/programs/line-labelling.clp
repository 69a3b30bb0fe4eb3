; The line-labelling benchmark (loaded before this file) at its smallest sizes. With one section the
; outermost junction is an L, with two it is an arrow: both ways of finding the first outline are taken.
(defglobal ?*size* = 1)
(reset)
(make-drawing ?*size*)
(run)
(defglobal ?*size* = 2)
(reset)
(make-drawing ?*size*)
(run)
