; A tiny loan desk: each application is declined, approved or referred to a person by three rules.
; Run it with:  rulecraft examples/loans.clp   (or: make run)

(deftemplate applicant (slot name) (slot credit) (slot employed))
(deftemplate decision (slot name) (slot outcome))

(deffacts applications
  (applicant (name alice) (credit good) (employed yes))
  (applicant (name bruno) (credit poor) (employed yes))
  (applicant (name chen) (credit good) (employed no)))

; Poor credit: decline, before anything else is considered.
(defrule decline (declare (salience 10))
  (applicant (name ?n) (credit poor))
  (not (decision (name ?n)))
  =>
  (assert (decision (name ?n) (outcome declined))))

; Good credit and a job: approve.
(defrule approve
  (applicant (name ?n) (credit good) (employed yes))
  (not (decision (name ?n)))
  =>
  (assert (decision (name ?n) (outcome approved))))

; Everyone else goes to a person.
(defrule refer (declare (salience -10))
  (applicant (name ?n))
  (not (decision (name ?n)))
  =>
  (assert (decision (name ?n) (outcome referred))))

(watch rules)
(reset)
(run)
(watch facts)
(assert (applicant (name dana) (credit poor) (employed no)))
(run)
