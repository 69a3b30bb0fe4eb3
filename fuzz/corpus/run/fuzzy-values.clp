; Fuzzy values: a fuzzy type with terms written as point lists and shapes, the standard terms added to it,
; facts whose fuzzy slots hold terms, hedged terms, combinations, numbers and point lists, a rule that
; matches a fuzzy slot against a term, and the texts all of them print as.

(deftype temperature "air temperature"
  extends (type FUZZY)
  (range 0 40)
  (units Celsius)
  (values
    (term cold ((0 1) (10 1) (15 0)))
    (term warm (tri 10 20 30))
    (term hot (s 25 35))))

(deftype load extends (type FUZZY) (range 0 100))

(deftemplate room
  (slot name)
  (slot air (type temperature))
  (multislot history (type temperature)))

(deftemplate machine (slot name) (slot load (type load) (default medium)))

(defrule warm-room
  (declare (salience 10))
  (room (name ?n) (air warm))
  =>
  (printout t ?n " feels warm" crlf))

(defrule not-hot-room
  (room (name ?n) (air ~hot))
  =>
  (printout t ?n " is not hot" crlf))

(deffacts rooms
  (room (name kitchen) (air very warm) (history cold warm))
  (room (name attic) (air extremely hot) (history warm more-or-less hot somewhat hot))
  (room (name cellar) (air not [warm or hot]))
  (room (name office) (air 21))
  (room (name hall) (air ((12 0) (18 1) (24 0))))
  (machine (name press))
  (machine (name lathe) (load very high)))

(reset)
(run)
(facts)
(ppdeftype temperature)
(ppdeftype load)
(printout t "result: fuzzy values read, matched and printed" crlf)
