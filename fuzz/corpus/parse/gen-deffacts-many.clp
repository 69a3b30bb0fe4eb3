(deffacts f (f 0) (f 1) (f 2) (f 3) )
(reset)
