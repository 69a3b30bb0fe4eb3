;;; A fuzzy fan controller.
;;;
;;; Crisp readings of temperature and humidity come in, are matched against fuzzy terms (a reading of 18 C
;;; is cold to 0.2 and warm to 0.8), and every rule whose terms match fires with the strength of its weakest
;;; match. Each rule concludes a fan speed; the engine clips that conclusion at the rule's strength and
;;; joins the conclusions of all rules into one fan fact. The fan fact is then turned back into a crisp
;;; speed: by its centre of gravity and by the mean of its maxima.
;;;
;;; Two of the readings worked out by hand (the other four are worked out the same way):
;;; - 5 C and 20 percent are cold and dry to 1 (left of its first point a term keeps its first membership)
;;;   and nothing else: only cold-and-dry fires, at full strength, and the fan fact is "off", the falling
;;;   edge from (0, 1) to (20, 0). Its centre of gravity is 20/3 = 6.6667; its only maximum is at 0.
;;; - 33 C and 80 percent are hot, very hot and humid to 1: hot-and-humid concludes fast (50 70 90) and
;;;   sweltering concludes full (rising from 80 to 100). Their union rises from 50 to 1 at 70, falls to 0.25
;;;   where the two edges cross at 85, and rises again to 1 at 100. Its pieces have areas 10, 9.375 and
;;;   9.375 (28.75 in all) and moments 633.3333, 712.5 and 881.25 (2227.0833): centre of gravity
;;;   2227.0833 / 28.75 = 77.4638. Its maxima are the points 70 and 100: mean 85.

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
(deftemplate reading (slot id) (slot temperature) (slot humidity))
(deftemplate current (slot id))

(deffacts readings
  (reading (id 1) (temperature 5) (humidity 20))
  (reading (id 2) (temperature 18) (humidity 45))
  (reading (id 3) (temperature 25) (humidity 60))
  (reading (id 4) (temperature 33) (humidity 80))
  (reading (id 5) (temperature 22.5) (humidity 35))
  (reading (id 6) (temperature 12) (humidity 95)))

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

;;; Driving the readings through: the next one comes in when the rules are done with the last.
(defrule next-reading
  (declare (salience -20))
  ?r <- (reading (id ?id) (temperature ?t) (humidity ?h))
  (not (reading (id ?other&:(< ?other ?id))))
  (not (current))
  =>
  (retract ?r)
  (assert (current (id ?id)) (temperature-reading (value ?t)) (humidity-reading (value ?h)))
  (printout t "reading " ?id ": " ?t " C, " ?h " percent" crlf))

(defrule report
  (declare (salience -10))
  (current (id ?id))
  ?f <- (fan (speed ?speed))
  =>
  (printout t "  fan speed " (moment-defuzzify ?f) " percent (centre of gravity), "
            (maximum-defuzzify ?f) " percent (mean of maxima)" crlf)
  (retract ?f))

(defrule done-with-reading
  (declare (salience -15))
  ?c <- (current)
  ?t <- (temperature-reading)
  ?h <- (humidity-reading)
  =>
  (retract ?c ?t ?h))

(reset)
(run)
