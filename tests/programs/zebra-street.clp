; A street-of-five-houses logic puzzle, solved the classic way: one fact for every attribute, value and
; house, and one rule whose patterns pick a house for each value while the clues, written as constraints
; on the houses already picked, prune the search early.
;
; Five neighbours (ann, bob, cy, dee, eve) each drink something different (tea, milk, juice, water,
; cocoa), grow a different garden (roses, tulips, ferns, herbs, cactus) and own a different vehicle (bike,
; car, van, scooter, canoe). Houses are numbered 1 to 5 from left to right.
;   1. Cy lives directly left of the tulips.        8. Cy lives next to the van owner.
;   2. The herbs grow next to the canoe owner.      9. Eve lives in house 5.
;   3. Bob lives next to the roses.                10. The cocoa drinker lives next to the ferns.
;   4. Ann lives directly left of the canoe owner. 11. The ferns grow next to the car owner.
;   5. The van owner lives directly left of the    12. The car owner grows the roses.
;      water drinker.                              13. The milk drinker lives directly left of the ferns.
;   6. The tea drinker lives next to the canoe owner.
;   7. Eve owns the scooter.
; Who drinks juice, and who grows the cactus?

(deftemplate avh "attribute, value, house" (slot a) (slot v) (slot h))

(deffacts houses
  (values name ann bob cy dee eve)
  (values drink tea milk juice water cocoa)
  (values garden roses tulips ferns herbs cactus)
  (values vehicle bike car van scooter canoe))

; Every value may stand at every house to begin with.
(defrule spread-values
  (values ?a $?vs)
  =>
  (foreach v ?vs
    (bind ?h 1)
    (while (<= ?h 5) do
      (assert (avh (a ?a) (v ?v) (h ?h)))
      (bind ?h (+ ?h 1)))))

(deffunction next-to (?x ?y) (= (abs (- ?x ?y)) 1))

(defrule solve
  (declare (salience -10))
  (avh (a name) (v eve) (h ?eve&5))                                                    ; 9
  (avh (a vehicle) (v scooter) (h ?eve))                                               ; 7
  (avh (a name) (v ann) (h ?ann&~?eve))
  (avh (a vehicle) (v canoe) (h ?canoe&~?eve&:(= ?canoe (+ ?ann 1))))                  ; 4
  (avh (a name) (v cy) (h ?cy&~?eve&~?ann))
  (avh (a vehicle) (v van) (h ?van&~?eve&~?canoe&:(next-to ?cy ?van)))                ; 8
  (avh (a drink) (v tea) (h ?tea&:(next-to ?tea ?canoe)))                              ; 6
  (avh (a drink) (v water) (h ?water&~?tea&:(= ?water (+ ?van 1))))                    ; 5
  (avh (a garden) (v herbs) (h ?herbs&:(next-to ?herbs ?canoe)))                       ; 2
  (avh (a garden) (v tulips) (h ?tulips&~?herbs&:(= ?tulips (+ ?cy 1))))               ; 1
  (avh (a vehicle) (v car) (h ?car&~?eve&~?canoe&~?van))
  (avh (a garden) (v roses) (h ?car&~?herbs&~?tulips))                                 ; 12
  (avh (a name) (v bob) (h ?bob&~?eve&~?ann&~?cy&:(next-to ?bob ?car)))                ; 3
  (avh (a name) (v dee) (h ?dee&~?eve&~?ann&~?cy&~?bob))
  (avh (a vehicle) (v bike) (h ?bike&~?eve&~?canoe&~?van&~?car))
  (avh (a garden) (v ferns) (h ?ferns&~?herbs&~?tulips&~?car&:(next-to ?ferns ?car)))  ; 11
  (avh (a garden) (v cactus) (h ?cactus&~?herbs&~?tulips&~?car&~?ferns))
  (avh (a drink) (v milk) (h ?milk&~?tea&~?water&:(= ?ferns (+ ?milk 1))))             ; 13
  (avh (a drink) (v cocoa) (h ?cocoa&~?tea&~?water&~?milk&:(next-to ?cocoa ?ferns)))   ; 10
  (avh (a drink) (v juice) (h ?juice&~?tea&~?water&~?milk&~?cocoa))
  =>
  (assert (answer ?ann name ann) (answer ?bob name bob) (answer ?cy name cy) (answer ?dee name dee)
          (answer ?eve name eve) (answer ?tea drink tea) (answer ?milk drink milk)
          (answer ?juice drink juice) (answer ?water drink water) (answer ?cocoa drink cocoa)
          (answer ?car garden roses) (answer ?tulips garden tulips) (answer ?ferns garden ferns)
          (answer ?herbs garden herbs) (answer ?cactus garden cactus) (answer ?bike vehicle bike)
          (answer ?car vehicle car) (answer ?van vehicle van) (answer ?eve vehicle scooter)
          (answer ?canoe vehicle canoe) (show-house 1)))

(defrule show-house
  ?s <- (show-house ?h)
  (answer ?h name ?n)
  (answer ?h drink ?d)
  (answer ?h garden ?g)
  (answer ?h vehicle ?v)
  =>
  (retract ?s)
  (printout t "house " ?h ": " ?n ", " ?d ", " ?g ", " ?v crlf)
  (if (< ?h 5) then (assert (show-house (+ ?h 1)))))

(defrule tell
  (declare (salience -20))
  (answer ?j drink juice)
  (answer ?j name ?drinker)
  (answer ?c garden cactus)
  (answer ?c name ?grower)
  =>
  (printout t ?drinker " drinks juice and " ?grower " grows the cactus" crlf))

(reset)
(run)
