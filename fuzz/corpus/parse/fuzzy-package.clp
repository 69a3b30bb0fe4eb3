; The fuzzy logic package: building values, combining them, reading sets and universes, the inference
; and correlation settings, fuzzy asserts merging equal facts, a small controller whose fuzzy conclusion
; is defuzzified, and a chart.

(deftype temperature extends (type FUZZY) (range 0 40) (units Celsius)
  (values (term cold (z 10 20)) (term warm (tri 10 20 30)) (term hot (s 20 30))))

(deftype fan extends (type FUZZY) (range 0 100) (units percent)
  (values (term slow (tri 0 0 50)) (term fast (tri 50 100 100))))

(deftemplate room (slot name) (slot air (type temperature)))
(deftemplate cooling (slot name) (slot speed (type fan)))

(defrule cool-warm-room
  (room (name ?n) (air warm))
  =>
  (fuzzy-assert min-max (cooling (name ?n) (speed slow))))

(defrule cool-hot-room
  (room (name ?n) (air hot))
  =>
  (fuzzy-assert min-max (cooling (name ?n) (speed fast))))

(defrule report
  (declare (salience -10))
  (cooling (name ?n) (speed ?s))
  =>
  (printout t ?n ": moment " (moment-defuzzify ?s) ", maximum " (maximum-defuzzify ?s)
            ", compatibility " (get-compatibility-index ?s) crlf))

(printout t "inference " (get-fuzzy-inference) ", correlation " (get-fuzzy-correlation) crlf)
(printout t "universe " (get-u temperature) " from " (get-u-from fan) " to " (get-u-to fan)
          " in " (get-u-units fan) crlf)
(printout t "very warm at 15: " (get-fs-value (create-fuzzy-value temperature very warm) 15) crlf)
(printout t "points of warm: " (get-fs (create-fuzzy-value temperature warm))
          ", count " (get-fs-length (create-fuzzy-value temperature warm)) crlf)
(printout t "union: " (get-fs (fuzzy-union (tri 0 10 20) (tri 10 20 30))) crlf)
(printout t "bounded-sum union at 15: " (get-fs-value (fuzzy-union-x bounded-sum (tri 0 10 20) (tri 10 20 30)) 15) crlf)
(printout t "product intersection at 15: "
          (get-fs-value (fuzzy-intersection-x product (tri 0 10 20) (tri 10 20 30)) 15) crlf)
(printout t "shapes: " (s 1 2) " " (z 1 2) " " (pi 5 2) " " (beta 5 2) crlf)
(printout t "spike undecidable " (is-undecidable (tri 5 5 5)) ", triangle undecidable "
          (is-undecidable (tri 0 5 10)) crlf)

; Equal fuzzy facts: min-max joins them, an unconditional assert meets them.
(bind ?a (fuzzy-assert min-max (room (name lab) (air ((10 0) (15 1) (20 0))))))
(bind ?b (fuzzy-assert min-max (room (name lab) (air ((15 0) (20 1) (25 0))))))
(printout t ?a " then " ?b ": " (get-fs ?b) crlf)
(bind ?c (fuzzy-assert-unconditional (room (name lab) (air ((10 0) (15 1) (20 0))))))
(printout t ?c ": " (get-fs ?c) ", variable " (get-fs-variable ?c) crlf)
(printout t "x of point 2 " (get-fs-x ?c 2) ", y " (get-fs-y ?c 2) crlf)
(retract ?c)

; The settings answer what they held before.
(printout t "set inference " (set-fuzzy-inference sum) ", now " (get-fuzzy-inference) crlf)
(printout t "set inference " (set-fuzzy-inference min-max) crlf)
(printout t "set correlation " (set-fuzzy-correlation product) ", now " (get-fuzzy-correlation) crlf)
(printout t "set threshold " (set-fuzzy-threshold 2) ", now " (get-fuzzy-threshold) crlf)
(printout t "set threshold " (set-fuzzy-threshold 0.01) crlf)
(printout t "set activation " (set-activation-threshold 0.1) ", now " (get-activation-threshold) crlf)
(printout t "set auto terms " (set-fuzzy-auto-terms TRUE) ", now " (get-fuzzy-auto-terms) crlf)
(printout t (try (set-fuzzy-inference fastest) catch ?__ERROR) crlf)
(printout t (try (fuzzy-assert (room (name x) (air hot))) catch ?__ERROR) crlf)
(printout t (try (get-fs-y (tri 0 1 2) 3) catch ?__ERROR) crlf)
(printout t (try (get-u 42) catch ?__ERROR) crlf)
(set-fuzzy-correlation minimum)

; A room that is warm to 0.7 and hot to 0.3 (at 23 degrees): both rules fire and their clipped
; conclusions are joined into one fuzzy fact.
(reset)
(assert (room (name office) (air 23)))
(run)
(facts)
(plot-fuzzy-value t "*" 0 0 (create-fuzzy-value fan slow))
(printout t "result: fuzzy package functions worked" crlf)
