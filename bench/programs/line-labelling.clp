; Line labelling: a line drawing of solid objects is read as lines between points; the lines meeting at a
; point form a junction whose kind (L, arrow, fork, tee) follows from the angles between them; then every
; line is labelled as an outer boundary (B), a convex edge (+) or a concave edge (-) by propagating the
; labels each kind of junction allows, starting from the outline of each object.
;
; The work runs in stages: each line becomes two directed edges, junctions are detected, the outermost
; junction gets its boundary labels, the labels spread, a fresh object is started where they cannot reach,
; and the labelled lines are counted.
;
; The drawing has ?*size* sections of eight cubes seen from a corner, alternately from above and from below
; (seven junctions and nine lines each). A point is x * 1000 + y. A driver may redefine ?*size* after
; loading, then reset, draw with (make-drawing ?*size*) and run.

(defglobal ?*size* = 12)
(defglobal ?*junctions* = 0)
(defglobal ?*boundary* = 0)
(defglobal ?*convex* = 0)
(defglobal ?*concave* = 0)
(defglobal ?*unlabelled* = 0)

(deftemplate edge (slot p1) (slot p2) (slot joined (default false)) (slot label (default none))
  (slot plotted (default false)))
(deftemplate junction (slot base) (slot type) (slot p1) (slot p2) (slot p3))

(deffacts start (stage duplicate))

; ---- the drawing

(deffunction point (?x ?y) (+ (* ?x 1000) ?y))

; A cube around (?cx, ?cy): its outline is a hexagon; the three inner edges meet at the centre and reach
; the upper corners and the bottom one (seen from above) or the top corner and the lower ones (from below).
(deffunction cube (?cx ?cy ?above)
  (bind ?c (point ?cx ?cy))
  (bind ?t (point ?cx (+ ?cy 2)))
  (bind ?ul (point (- ?cx 2) (+ ?cy 1)))
  (bind ?ll (point (- ?cx 2) (- ?cy 1)))
  (bind ?b (point ?cx (- ?cy 2)))
  (bind ?lr (point (+ ?cx 2) (- ?cy 1)))
  (bind ?ur (point (+ ?cx 2) (+ ?cy 1)))
  (assert (line ?t ?ul) (line ?ul ?ll) (line ?ll ?b) (line ?b ?lr) (line ?lr ?ur) (line ?ur ?t))
  (if ?above
   then (assert (line ?c ?ul) (line ?c ?ur) (line ?c ?b))
   else (assert (line ?c ?t) (line ?c ?ll) (line ?c ?lr))))

(deffunction make-drawing (?sections)
  (bind ?row 0)
  (while (< ?row ?sections) do
    (bind ?col 0)
    (while (< ?col 8) do
      (cube (+ 3 (* 5 ?col)) (+ 3 (* 5 ?row)) (= (mod (+ ?row ?col) 2) 0))
      (bind ?col (+ ?col 1)))
    (bind ?row (+ ?row 1))))

; ---- geometry of a junction

(deffunction x-of (?p) (div ?p 1000))
(deffunction y-of (?p) (mod ?p 1000))

; The cross and dot products of the directions from ?o to ?u and from ?o to ?v.
(deffunction cross (?o ?u ?v)
  (- (* (- (x-of ?u) (x-of ?o)) (- (y-of ?v) (y-of ?o)))
     (* (- (y-of ?u) (y-of ?o)) (- (x-of ?v) (x-of ?o)))))
(deffunction dot (?o ?u ?v)
  (+ (* (- (x-of ?u) (x-of ?o)) (- (x-of ?v) (x-of ?o)))
     (* (- (y-of ?u) (y-of ?o)) (- (y-of ?v) (y-of ?o)))))
(deffunction sign (?n) (if (> ?n 0) then 1 else (if (< ?n 0) then -1 else 0)))

; Whether the direction to ?w lies strictly inside the smaller angle between the directions to ?u and ?v.
(deffunction inside (?o ?w ?u ?v)
  (bind ?turn (sign (cross ?o ?u ?v)))
  (and (<> ?turn 0) (= (sign (cross ?o ?u ?w)) ?turn) (= (sign (cross ?o ?w ?v)) ?turn)))

; Whether the directions to ?u and ?v are opposite.
(deffunction straight (?o ?u ?v) (and (= (cross ?o ?u ?v) 0) (< (dot ?o ?u ?v) 0)))

; The kind of the junction of three lines at ?o and its points in order: a tee's bar ends first and last
; (its stem in the middle); an arrow's barbs first and last (its shaft in the middle); a fork's in any order.
(deffunction junction-kind (?o ?a ?b ?c)
  (if (straight ?o ?a ?b) then (return (create$ tee ?a ?c ?b)))
  (if (straight ?o ?a ?c) then (return (create$ tee ?a ?b ?c)))
  (if (straight ?o ?b ?c) then (return (create$ tee ?b ?a ?c)))
  (if (inside ?o ?a ?b ?c) then (return (create$ arrow ?b ?a ?c)))
  (if (inside ?o ?b ?a ?c) then (return (create$ arrow ?a ?b ?c)))
  (if (inside ?o ?c ?a ?b) then (return (create$ arrow ?a ?c ?b)))
  (create$ fork ?a ?b ?c))

; ---- stage 1: every line becomes an edge in each direction

(defrule reverse-edges
  (stage duplicate)
  ?l <- (line ?a ?b)
  =>
  (retract ?l)
  (assert (edge (p1 ?a) (p2 ?b)) (edge (p1 ?b) (p2 ?a))))

(defrule done-duplicating
  (declare (salience -10))
  ?s <- (stage duplicate)
  =>
  (retract ?s)
  (assert (stage detect-junctions)))

; ---- stage 2: the edges leaving one point make a junction

(defrule make-3-junction
  (stage detect-junctions)
  ?e1 <- (edge (p1 ?base) (p2 ?a) (joined false))
  ?e2 <- (edge (p1 ?base) (p2 ?b&~?a) (joined false))
  ?e3 <- (edge (p1 ?base) (p2 ?c&~?a&~?b) (joined false))
  =>
  (bind ?kind (junction-kind ?base ?a ?b ?c))
  (assert (junction (base ?base) (type (nth$ 0 ?kind)) (p1 (nth$ 1 ?kind)) (p2 (nth$ 2 ?kind))
                    (p3 (nth$ 3 ?kind))))
  (bind ?*junctions* (+ ?*junctions* 1))
  (modify ?e1 (joined true))
  (modify ?e2 (joined true))
  (modify ?e3 (joined true)))

(defrule make-L
  (stage detect-junctions)
  ?e1 <- (edge (p1 ?base) (p2 ?a) (joined false))
  ?e2 <- (edge (p1 ?base) (p2 ?b&~?a) (joined false))
  (not (edge (p1 ?base) (p2 ?c&~?a&~?b)))
  =>
  (assert (junction (base ?base) (type L) (p1 ?a) (p2 ?b)))
  (bind ?*junctions* (+ ?*junctions* 1))
  (modify ?e1 (joined true))
  (modify ?e2 (joined true)))

(defrule done-detecting
  (declare (salience -10))
  ?s <- (stage detect-junctions)
  =>
  (retract ?s)
  (assert (stage find-initial-boundary)))

; ---- stage 3: the junction with the largest point is on the outline of its object

(defrule initial-boundary-L
  ?s <- (stage find-initial-boundary)
  (junction (type L) (base ?base) (p1 ?a) (p2 ?b))
  (not (junction (base ?other&:(> ?other ?base))))
  ?e1 <- (edge (p1 ?base) (p2 ?a))
  ?e2 <- (edge (p1 ?base) (p2 ?b))
  =>
  (modify ?e1 (label B))
  (modify ?e2 (label B))
  (retract ?s)
  (assert (stage labeling)))

(defrule initial-boundary-arrow
  ?s <- (stage find-initial-boundary)
  (junction (type arrow) (base ?base) (p1 ?a) (p2 ?shaft) (p3 ?b))
  (not (junction (base ?other&:(> ?other ?base))))
  ?e1 <- (edge (p1 ?base) (p2 ?a))
  ?e2 <- (edge (p1 ?base) (p2 ?shaft))
  ?e3 <- (edge (p1 ?base) (p2 ?b))
  =>
  (modify ?e1 (label B))
  (modify ?e2 (label +))
  (modify ?e3 (label B))
  (retract ?s)
  (assert (stage labeling)))

; ---- stage 4: labels spread through the junctions

; A line has one label, whichever end it is seen from.
(defrule match-edge
  (stage labeling)
  (edge (p1 ?a) (p2 ?b) (label ?label&~none))
  ?e <- (edge (p1 ?b) (p2 ?a) (label none))
  =>
  (modify ?e (label ?label)))

; Both lines of an L are boundaries.
(defrule label-L
  (stage labeling)
  (junction (type L) (base ?j))
  (edge (p1 ?j) (label B))
  ?e <- (edge (p1 ?j) (label none))
  =>
  (modify ?e (label B)))

; A tee's bar is the boundary of the object in front.
(defrule label-tee
  (stage labeling)
  (junction (type tee) (base ?j) (p2 ?stem))
  ?e <- (edge (p1 ?j) (p2 ~?stem) (label none))
  =>
  (modify ?e (label B)))

; An arrow is either boundary barbs around a convex shaft or convex barbs around a concave shaft.
(defrule arrow-barb-to-barb
  (stage labeling)
  (junction (type arrow) (base ?j) (p2 ?shaft))
  (edge (p1 ?j) (p2 ?barb&~?shaft) (label ?label&B|+))
  ?e <- (edge (p1 ?j) (p2 ?other&~?shaft&~?barb) (label none))
  =>
  (modify ?e (label ?label)))

(defrule arrow-barb-to-shaft
  (stage labeling)
  (junction (type arrow) (base ?j) (p2 ?shaft))
  (edge (p1 ?j) (p2 ~?shaft) (label ?label&B|+))
  ?e <- (edge (p1 ?j) (p2 ?shaft) (label none))
  =>
  (modify ?e (label (if (eq ?label B) then + else -))))

(defrule arrow-shaft-to-barb
  (stage labeling)
  (junction (type arrow) (base ?j) (p2 ?shaft))
  (edge (p1 ?j) (p2 ?shaft) (label ?label&+|-))
  ?e <- (edge (p1 ?j) (p2 ~?shaft) (label none))
  =>
  (modify ?e (label (if (eq ?label +) then B else +))))

; The three lines of a fork are all convex or all concave.
(defrule label-fork
  (stage labeling)
  (junction (type fork) (base ?j))
  (edge (p1 ?j) (label ?label&+|-))
  ?e <- (edge (p1 ?j) (label none))
  =>
  (modify ?e (label ?label)))

; Where no label reaches, an untouched object is started from an outline corner.
(defrule next-object
  (declare (salience -5))
  (stage labeling)
  (junction (type L) (base ?j) (p1 ?a) (p2 ?b))
  ?e1 <- (edge (p1 ?j) (p2 ?a) (label none))
  ?e2 <- (edge (p1 ?j) (p2 ?b) (label none))
  =>
  (modify ?e1 (label B))
  (modify ?e2 (label B)))

(defrule done-labeling
  (declare (salience -10))
  ?s <- (stage labeling)
  =>
  (retract ?s)
  (assert (stage plot)))

; ---- stage 5: each line is counted once, from its lower point

(defrule plot-line
  (stage plot)
  ?e <- (edge (p1 ?a) (p2 ?b&:(< ?a ?b)) (label ?label) (plotted false))
  =>
  (modify ?e (plotted true))
  (if (eq ?label B) then (bind ?*boundary* (+ ?*boundary* 1)))
  (if (eq ?label +) then (bind ?*convex* (+ ?*convex* 1)))
  (if (eq ?label -) then (bind ?*concave* (+ ?*concave* 1)))
  (if (eq ?label none) then (bind ?*unlabelled* (+ ?*unlabelled* 1))))

(defrule done-plotting
  (declare (salience -10))
  ?s <- (stage plot)
  =>
  (retract ?s)
  (printout t "result: line-labelling " ?*size* " sections, " ?*junctions* " junctions, "
            (+ ?*boundary* ?*convex* ?*concave* ?*unlabelled*) " lines: " ?*boundary* " boundary, "
            ?*convex* " convex, " ?*concave* " concave, " ?*unlabelled* " unlabelled" crlf))
