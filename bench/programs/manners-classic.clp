; The seating problem in its classic form: as manners.clp, but the rule that picks the next guest
; does not name the newest seating. Every finished seating matches it; the program relies on the
; newest activation firing first among equal saliences, so that the newest seating is extended:
;   rulecraft --strategy newest manners-classic.clp manners-guests-16.clp -e '(reset)' -e '(run)'
; A context fact steps the rules through their states:
;   start          assign the first seat to some guest
;   assign-seats   pick the next guest for the newest seating (the big join over seating, guest,
;                  count, path and chosen facts)
;   make-path      copy the guests seated so far into the path of the new seating
;   check-done     stop when the last seat is filled, or go back to assign-seats
;   print-results  check the finished table, print it and the result line
; The guest list comes from a separate file (manners-guests-N.clp, written by gen-manners.py).

(deftemplate guest (slot name) (slot sex) (slot hobby))
(deftemplate last_seat (slot seat))
(deftemplate seating (slot seat1) (slot name1) (slot name2) (slot seat2) (slot id) (slot pid)
  (slot path_done))
(deftemplate context (slot state))
(deftemplate path (slot id) (slot name) (slot seat))
(deftemplate chosen (slot id) (slot name) (slot hobby))
(deftemplate count (slot c))
(deftemplate table (slot id))
(deftemplate print-next (slot seat))
(deftemplate pair-ok (slot seat))

(defglobal ?*pairs-ok* = 0)

(deffacts manners-start
  (context (state start))
  (count (c 1)))

(defrule assign-first-seat
  ?ctx <- (context (state start))
  (guest (name ?n))
  ?cnt <- (count (c ?c))
  =>
  (assert (seating (seat1 1) (name1 ?n) (name2 ?n) (seat2 1) (id ?c) (pid 0) (path_done yes)))
  (assert (path (id ?c) (name ?n) (seat 1)))
  (modify ?cnt (c (+ ?c 1)))
  (modify ?ctx (state assign-seats)))

(defrule find-seating
  ?ctx <- (context (state assign-seats))
  (seating (seat2 ?s2) (name2 ?n2) (id ?id) (path_done yes))
  (guest (name ?n2) (sex ?sx) (hobby ?h))
  (guest (name ?g) (sex ~?sx) (hobby ?h))
  ?cnt <- (count (c ?c))
  (not (path (id ?id) (name ?g)))
  (not (chosen (id ?id) (name ?g) (hobby ?h)))
  =>
  (assert (seating (seat1 ?s2) (name1 ?n2) (name2 ?g) (seat2 (+ ?s2 1)) (id ?c) (pid ?id)
                   (path_done no)))
  (assert (path (id ?c) (name ?g) (seat (+ ?s2 1))))
  (assert (chosen (id ?id) (name ?g) (hobby ?h)))
  (modify ?cnt (c (+ ?c 1)))
  (modify ?ctx (state make-path)))

(defrule make-path
  (declare (salience 10))
  (context (state make-path))
  (seating (id ?id) (pid ?pid) (path_done no))
  (path (id ?pid) (name ?n) (seat ?s))
  (not (path (id ?id) (name ?n)))
  =>
  (assert (path (id ?id) (name ?n) (seat ?s))))

(defrule path-done
  ?ctx <- (context (state make-path))
  ?st <- (seating (path_done no))
  =>
  (modify ?st (path_done yes))
  (modify ?ctx (state check-done)))

(defrule are-we-done
  (declare (salience 10))
  ?ctx <- (context (state check-done))
  (last_seat (seat ?last))
  (seating (seat2 ?last) (id ?id))
  =>
  (modify ?ctx (state print-results))
  (assert (table (id ?id)) (print-next (seat 1))))

(defrule continue
  ?ctx <- (context (state check-done))
  =>
  (modify ?ctx (state assign-seats)))

; Every pair of neighbours of the finished table, the last and the first guest included, must differ
; in sex and share a hobby.
(defrule check-pair
  (declare (salience 20))
  (context (state print-results))
  (table (id ?id))
  (last_seat (seat ?last))
  (path (id ?id) (name ?a) (seat ?s))
  (path (id ?id) (name ?b) (seat ?t&:(= ?t (+ (mod ?s ?last) 1))))
  (guest (name ?a) (sex ?x) (hobby ?h))
  (guest (name ?b) (sex ~?x) (hobby ?h))
  (not (pair-ok (seat ?s)))
  =>
  (assert (pair-ok (seat ?s)))
  (bind ?*pairs-ok* (+ ?*pairs-ok* 1)))

(defrule print-seat
  (declare (salience 10))
  (context (state print-results))
  (table (id ?id))
  ?next <- (print-next (seat ?s))
  (path (id ?id) (name ?n) (seat ?s))
  =>
  (printout t "seat " ?s ": " ?n crlf)
  (modify ?next (seat (+ ?s 1))))

(defrule all-done
  (context (state print-results))
  (last_seat (seat ?last))
  (print-next (seat ?s))
  =>
  (printout t "result: manners " ?last " guests, " (- ?s 1) " seated, " ?*pairs-ok*
              " neighbour pairs of opposite sex sharing a hobby" crlf))
