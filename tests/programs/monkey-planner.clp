; A monkey-and-bananas style planner: the monkey works towards its goal by setting itself smaller goals
; (hold something, walk somewhere, open a chest, fetch the ladder) until it can reach the bananas.
; Every object, chest and goal must name what it is about: those slots are required.

(deftemplate monkey
  (slot at (default ?NONE))
  (slot on (default floor))
  (slot holding (default nothing)))

(deftemplate object
  (slot name (default ?NONE))
  (slot at (default ?NONE))
  (slot on (allowed-values floor ceiling monkey) (default floor)))

(deftemplate chest
  (slot name (default ?NONE))
  (slot at (default ?NONE))
  (slot contents (default ?NONE))
  (slot key (default ?NONE)))

(deftemplate goal
  (slot action (allowed-values eat hold walk-to open fetch-ladder) (default ?NONE))
  (slot what (default ?NONE)))

(defglobal ?*step* = 0)

(deffunction say (?text)
  (bind ?*step* (+ ?*step* 1))
  (printout t ?*step* ". " ?text crlf))

; ---- reaching the goal

(defrule eat-it
  (declare (salience 10))
  ?g <- (goal (action eat) (what ?x))
  ?m <- (monkey (holding ?x))
  ?o <- (object (name ?x) (on monkey))
  =>
  (retract ?g ?o)
  (modify ?m (holding nothing))
  (say (str-cat "The monkey eats the " ?x ".")))

(defrule to-eat-hold-first
  (goal (action eat) (what ?x))
  (not (goal (action hold) (what ?x)))
  (not (monkey (holding ?x)))
  =>
  (assert (goal (action hold) (what ?x))))

; ---- holding things

(defrule hold-done
  (declare (salience 10))
  ?g <- (goal (action hold) (what ?x))
  (monkey (holding ?x))
  =>
  (retract ?g))

; The monkey reaches a thing lying on the floor from the floor, and one hanging from the ceiling from the
; top of the ladder standing under it.
(defrule grab
  (goal (action hold) (what ?x))
  ?m <- (monkey (at ?p) (holding nothing))
  (or (and ?o <- (object (name ?x) (at ?p) (on floor))
           (monkey (on floor)))
      (and ?o <- (object (name ?x) (at ?p) (on ceiling))
           (monkey (on ladder))))
  =>
  (modify ?o (on monkey))
  (modify ?m (holding ?x))
  (say (str-cat "The monkey grabs the " ?x " at " ?p ".")))

; Hands full where the wanted thing can be reached: put down what is held.
(defrule hands-full
  (declare (salience 5))
  (goal (action hold) (what ?x))
  ?m <- (monkey (at ?p) (on floor) (holding ?y&~nothing&~?x))
  (or (object (name ?x) (at ?p) (on floor))
      (and (object (name ?x) (at ?p) (on ceiling))
           (object (name ladder) (at ?p) (on floor))))
  ?o <- (object (name ?y))
  =>
  (modify ?o (at ?p) (on floor))
  (modify ?m (holding nothing))
  (say (str-cat "The monkey drops the " ?y " at " ?p ".")))

; A thing on the floor, or one under the ceiling with the ladder already there: walk to it.
(defrule go-to-thing
  (goal (action hold) (what ?x))
  (monkey (at ?here) (holding nothing))
  (or (object (name ?x) (at ?p&~?here) (on floor))
      (and (object (name ?x) (at ?p&~?here) (on ceiling))
           (object (name ladder) (at ?p) (on floor))))
  (not (goal (action walk-to)))
  =>
  (assert (goal (action walk-to) (what ?p))))

(defrule needs-the-ladder
  (goal (action hold) (what ?x))
  (object (name ?x) (at ?p) (on ceiling))
  (not (object (name ladder) (at ?p) (on floor)))
  (not (goal (action fetch-ladder)))
  =>
  (assert (goal (action fetch-ladder) (what ?p))))

(defrule climb
  (goal (action hold) (what ?x))
  (object (name ?x) (at ?p) (on ceiling))
  (object (name ladder) (at ?p) (on floor))
  ?m <- (monkey (at ?p) (on floor) (holding nothing))
  =>
  (modify ?m (on ladder))
  (say (str-cat "The monkey climbs the ladder at " ?p ".")))

; A thing locked in a chest: open the chest first.
(defrule locked-away
  (goal (action hold) (what ?x))
  (chest (name ?c) (contents ?x))
  (not (goal (action open) (what ?c)))
  =>
  (assert (goal (action open) (what ?c))))

; ---- the ladder

(defrule ladder-placed
  (declare (salience 10))
  ?g <- (goal (action fetch-ladder) (what ?p))
  (object (name ladder) (at ?p) (on floor))
  =>
  (retract ?g))

(defrule ladder-hold
  (goal (action fetch-ladder) (what ?p))
  (not (monkey (holding ladder)))
  (not (goal (action hold) (what ladder)))
  =>
  (assert (goal (action hold) (what ladder))))

(defrule ladder-carry
  (goal (action fetch-ladder) (what ?p))
  (monkey (at ~?p) (holding ladder))
  (not (goal (action walk-to)))
  =>
  (assert (goal (action walk-to) (what ?p))))

(defrule ladder-set-down
  (goal (action fetch-ladder) (what ?p))
  ?m <- (monkey (at ?p) (holding ladder))
  ?o <- (object (name ladder))
  =>
  (modify ?o (at ?p) (on floor))
  (modify ?m (holding nothing))
  (say (str-cat "The monkey sets the ladder down at " ?p ".")))

; ---- walking

(defrule climb-down-first
  (declare (salience 5))
  (goal (action walk-to))
  ?m <- (monkey (on ladder))
  =>
  (modify ?m (on floor))
  (say "The monkey climbs down the ladder."))

(defrule walk
  ?g <- (goal (action walk-to) (what ?p))
  ?m <- (monkey (at ?from&~?p) (on floor) (holding ?h))
  =>
  (retract ?g)
  (modify ?m (at ?p))
  (if (eq ?h nothing)
   then (say (str-cat "The monkey walks from " ?from " to " ?p "."))
   else (say (str-cat "The monkey carries the " ?h " from " ?from " to " ?p "."))))

(defrule already-there
  ?g <- (goal (action walk-to) (what ?p))
  (monkey (at ?p))
  =>
  (retract ?g))

; ---- chests

(defrule open-needs-key
  (goal (action open) (what ?c))
  (chest (name ?c) (key ?k))
  (not (monkey (holding ?k)))
  (not (goal (action hold) (what ?k)))
  =>
  (assert (goal (action hold) (what ?k))))

(defrule open-walk
  (goal (action open) (what ?c))
  (chest (name ?c) (at ?p) (key ?k))
  (monkey (at ~?p) (holding ?k))
  (not (goal (action walk-to)))
  =>
  (assert (goal (action walk-to) (what ?p))))

(defrule open-it
  ?g <- (goal (action open) (what ?c))
  ?ch <- (chest (name ?c) (at ?p) (key ?k) (contents ?x))
  (monkey (at ?p) (on floor) (holding ?k))
  =>
  (retract ?g)
  (modify ?ch (contents nothing))
  (assert (object (name ?x) (at ?p)))
  (say (str-cat "The monkey opens the " ?c " with the " ?k " and finds the " ?x ".")))

; ---- the end

(defrule finished
  (declare (salience -10))
  (not (goal))
  (monkey (at ?p) (holding ?h))
  =>
  (say (str-cat "Done: the monkey rests at " ?p " holding " ?h ".")))

(deffacts start
  (monkey (at t1-1))
  (object (name ladder) (at t4-1))
  (object (name blue-key) (at t6-2) (on ceiling))
  (chest (name blue-chest) (at t2-6) (contents red-key) (key blue-key))
  (chest (name red-chest) (at t8-8) (contents bananas) (key red-key))
  (goal (action eat) (what bananas)))

(reset)
(printout t "Rules fired: " (run) crlf)
; A chest must say what it holds.
(assert (chest (name green-chest) (at t1-1) (key none)))
