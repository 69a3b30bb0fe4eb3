; The seating benchmark (bench/programs/manners.clp) with its 16-guest list: the sexes alternate,
; neighbours share a hobby, and the seating the search finds stays the same.
(load "../../bench/programs/manners.clp")
(load "../../bench/programs/manners-guests-16.clp")
(reset)
(run)
