; The fuzzy fan controller of examples/fan-controller.clp run over ?*inputs* crisp readings: each reading
; is fuzzified, the rules that match it fire to their strength, their clipped conclusions merge into one fan
; fact, which is defuzzified by its centre of gravity. The readings step through the universe of both inputs
; (temperature 7n mod 41, humidity 13n mod 101). The driver resets and runs.

(defglobal ?*inputs* = 10000)
(defglobal ?*decided* = 0)
(defglobal ?*total* = 0.0)

(deftype temperature extends (type FUZZY) (range 0 40) (units C)
  (values (term cold (z 10 20)) (term warm (tri 10 20 30)) (term hot (s 20 30))))

(deftype humidity extends (type FUZZY) (range 0 100) (units percent)
  (values (term dry (z 30 50)) (term normal (tri 30 50 70)) (term humid (s 50 70))))

(deftype fan-speed extends (type FUZZY) (range 0 100) (units percent)
  (values (term off (z 0 20)) (term slow (tri 10 30 50)) (term medium (tri 30 50 70))
          (term fast (tri 50 70 90)) (term full (s 80 100))))

(deftemplate temperature-reading (slot value (type temperature)))
(deftemplate humidity-reading (slot value (type humidity)))
(deftemplate fan (slot speed (type fan-speed)))

;;; The readings to work through, in order of their id.
(deftemplate step (slot n))
(deftemplate current (slot n))
(deffacts start (step (n 0)))

;;; The rule base: what the fan does for each kind of weather.
(defrule cold-and-dry (temperature-reading (value cold)) (humidity-reading (value dry))
  => (assert (fan (speed off))))
(defrule cold-and-normal (temperature-reading (value cold)) (humidity-reading (value normal))
  => (assert (fan (speed off))))
(defrule cold-and-humid (temperature-reading (value cold)) (humidity-reading (value humid))
  => (assert (fan (speed slow))))
(defrule warm-and-dry (temperature-reading (value warm)) (humidity-reading (value dry))
  => (assert (fan (speed slow))))
(defrule warm-and-normal (temperature-reading (value warm)) (humidity-reading (value normal))
  => (assert (fan (speed medium))))
(defrule warm-and-humid (temperature-reading (value warm)) (humidity-reading (value humid))
  => (assert (fan (speed fast))))
(defrule hot-and-dry (temperature-reading (value hot)) (humidity-reading (value dry))
  => (assert (fan (speed medium))))
(defrule hot-and-normal (temperature-reading (value hot)) (humidity-reading (value normal))
  => (assert (fan (speed fast))))
(defrule hot-and-humid (temperature-reading (value hot)) (humidity-reading (value humid))
  => (assert (fan (speed fast))))
(defrule sweltering (temperature-reading (value very hot)) (humidity-reading (value humid))
  => (assert (fan (speed full))))

;;; One reading at a time.
(defrule next-reading
  (declare (salience -20))
  ?s <- (step (n ?n&:(< ?n ?*inputs*)))
  (not (current))
  =>
  (retract ?s)
  (assert (current (n ?n))
          (temperature-reading (value (mod (* ?n 7) 41)))
          (humidity-reading (value (mod (* ?n 13) 101)))
          (step (n (+ ?n 1)))))

(defrule report
  (declare (salience -10))
  (current)
  ?f <- (fan (speed ?speed))
  =>
  (bind ?*total* (+ ?*total* (moment-defuzzify ?f)))
  (bind ?*decided* (+ ?*decided* 1))
  (retract ?f))

(defrule done-with-reading
  (declare (salience -15))
  ?c <- (current)
  ?t <- (temperature-reading)
  ?h <- (humidity-reading)
  =>
  (retract ?c ?t ?h))

(defrule finish
  (declare (salience -30))
  (step (n ?n&:(>= ?n ?*inputs*)))
  =>
  (printout t "result: fan-controller " ?*inputs* " readings, " ?*decided* " decided, total speed "
            ?*total* crlf))
