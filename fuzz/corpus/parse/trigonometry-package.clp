; Circular and hyperbolic functions and their inverses answer floats, in radians.
(sin 0)
(cos 0)
(tan 0)
(sin (/ (PI) 2))
(asin 1)
(asin -1)
(acos -1)
(acos 1)
(atan 1)
(acot 0)
(acot -1)
(sec 0)
(csc (/ (PI) 2))
(cot (/ (PI) 4))
(sinh 0)
(cosh 0)
(tanh 1)
(asinh 1)
(acosh 1)
(atanh 0.5)
(sech 0)
(csch 1)
(coth 1)
(acoth 2)
(acsch -2)
(asech 0.5)

; The point (X, Y): the angle takes its quadrant from both signs.
(atan2 0 1)
(atan2 -1 0)
(atan2 1 0)
(atan2 0 -1)
(atan2 0 0)
(hypotenuse 3 4)

; acsc and asec add pi for a negative argument: (acsc -2) is 7pi/6, (asec -2) is 4pi/3.
(acsc 2)
(acsc -2)
(asec 2)
(asec -2)

; Angle units, and their round trips.
(rad-deg (deg-rad 30))
(deg-rad 180)
(deg-grad 90)
(grad-deg 100)
(grad-rad 200)
(rad-grad (PI))
(cycle-rad 1)
(rad-cycle (PI))
(rad-deg 1)

; Distances between points given as multifields, through a rule's multifield variables.
(watch facts)
(deftemplate points (multislot a) (multislot b))
(defrule measure
  (points (a $?a) (b $?b))
  =>
  (assert (distances $?a to $?b is (distance $?a $?b) (distance-sqr $?a $?b) (distance-manhattan $?a $?b))))
(assert (points (a 0 0) (b 3 4)))
(assert (points (a 1 1) (b 4 -3)))
(assert (points (a 1 2.5 -1) (b 1 2.5 -1)))
(assert (points (a) (b)))
(run)

; Outside its domain a function raises the floating-point error instead of answering NaN.
(acos 2)
