; A 9x9 sudoku solved by constraint rules. A digit is kept as a cell; an open square holds one candidate
; fact for each digit it may still take. Placing a digit removes the candidates it rules out, and two kinds
; of forced moves place digits: a square left with one candidate (a naked single) and a digit left with one
; square in its row, column or box (a hidden single). The negated elements use variables of their own:
; ?p is another column in one element and a digit already placed in the next.

(deftemplate cell (slot row) (slot col) (slot box) (slot value))
(deftemplate candidate (slot row) (slot col) (slot box) (slot value))

(deffacts puzzle
  (puzzle-row 1  0 0 6 7 0 0 5 0 2)
  (puzzle-row 2  0 0 0 0 1 0 0 3 0)
  (puzzle-row 3  0 0 0 0 0 2 0 0 0)
  (puzzle-row 4  0 0 3 8 0 5 0 4 0)
  (puzzle-row 5  0 0 2 0 0 6 0 0 9)
  (puzzle-row 6  4 0 0 0 3 0 0 0 0)
  (puzzle-row 7  8 0 5 0 6 0 0 0 0)
  (puzzle-row 8  9 0 0 0 0 0 0 0 1)
  (puzzle-row 9  0 0 4 3 0 0 2 0 0))

(defglobal ?*placed* = 0)

(deffunction box-of (?r ?c) (+ (* 3 (div (- ?r 1) 3)) (div (- ?c 1) 3) 1))

; ---- reading the puzzle

(defrule read-row
  (declare (salience 20))
  (puzzle-row ?r $?digits)
  =>
  (bind ?c 1)
  (while (<= ?c 9) do
    (bind ?v (nth$ (- ?c 1) ?digits))  ; the first element has index 0
    (if (> ?v 0)
     then (assert (cell (row ?r) (col ?c) (box (box-of ?r ?c)) (value ?v)))
     else (bind ?d 1)
          (while (<= ?d 9) do
            (assert (candidate (row ?r) (col ?c) (box (box-of ?r ?c)) (value ?d)))
            (bind ?d (+ ?d 1))))
    (bind ?c (+ ?c 1))))

; ---- a placed digit rules candidates out

(defrule same-square
  (declare (salience 10))
  (cell (row ?r) (col ?c))
  ?x <- (candidate (row ?r) (col ?c))
  =>
  (retract ?x))

(defrule same-row
  (declare (salience 10))
  (cell (row ?r) (value ?v))
  ?x <- (candidate (row ?r) (value ?v))
  =>
  (retract ?x))

(defrule same-column
  (declare (salience 10))
  (cell (col ?c) (value ?v))
  ?x <- (candidate (col ?c) (value ?v))
  =>
  (retract ?x))

(defrule same-box
  (declare (salience 10))
  (cell (box ?b) (value ?v))
  ?x <- (candidate (box ?b) (value ?v))
  =>
  (retract ?x))

; ---- forced moves

(defrule naked-single
  (candidate (row ?r) (col ?c) (box ?b) (value ?v))
  (not (candidate (row ?r) (col ?c) (value ?p&~?v)))
  (not (cell (row ?r) (col ?c) (value ?p)))
  =>
  (bind ?*placed* (+ ?*placed* 1))
  (assert (cell (row ?r) (col ?c) (box ?b) (value ?v))))

(defrule hidden-single-in-row
  (candidate (row ?r) (col ?c) (box ?b) (value ?v))
  (not (candidate (row ?r) (col ?p&~?c) (value ?v)))
  (not (cell (row ?r) (col ?c) (value ?p)))
  =>
  (bind ?*placed* (+ ?*placed* 1))
  (assert (cell (row ?r) (col ?c) (box ?b) (value ?v))))

(defrule hidden-single-in-column
  (candidate (row ?r) (col ?c) (box ?b) (value ?v))
  (not (candidate (col ?c) (row ?p&~?r) (value ?v)))
  (not (cell (row ?r) (col ?c) (value ?p)))
  =>
  (bind ?*placed* (+ ?*placed* 1))
  (assert (cell (row ?r) (col ?c) (box ?b) (value ?v))))

(defrule hidden-single-in-box
  (candidate (row ?r) (col ?c) (box ?b) (value ?v))
  (not (candidate (box ?b) (value ?v) (row ?p) (col ?q&:(or (<> ?p ?r) (<> ?q ?c)))))
  (not (cell (row ?r) (col ?c) (value ?p)))
  =>
  (bind ?*placed* (+ ?*placed* 1))
  (assert (cell (row ?r) (col ?c) (box ?b) (value ?v))))

; ---- the outcome

(defrule solved
  (declare (salience -10))
  (not (candidate (row ?p)))
  (not (cell (value ?p&:(or (< ?p 1) (> ?p 9)))))
  =>
  (printout t "solved, " ?*placed* " digits placed by the rules" crlf)
  (assert (show-row 1)))

(defrule stuck
  (declare (salience -10))
  (exists (candidate))
  =>
  (printout t "stuck after " ?*placed* " digits" crlf))

(defrule show-row
  ?s <- (show-row ?r)
  (cell (row ?r) (col 1) (value ?a)) (cell (row ?r) (col 2) (value ?b)) (cell (row ?r) (col 3) (value ?c))
  (cell (row ?r) (col 4) (value ?d)) (cell (row ?r) (col 5) (value ?e)) (cell (row ?r) (col 6) (value ?f))
  (cell (row ?r) (col 7) (value ?g)) (cell (row ?r) (col 8) (value ?h)) (cell (row ?r) (col 9) (value ?i))
  =>
  (retract ?s)
  (printout t ?a ?b ?c " " ?d ?e ?f " " ?g ?h ?i crlf)
  (if (and (< ?r 9) (= (mod ?r 3) 0)) then (printout t crlf))
  (if (< ?r 9) then (assert (show-row (+ ?r 1)))))

(reset)
(run)
