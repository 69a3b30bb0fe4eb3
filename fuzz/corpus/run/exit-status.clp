1
(exit)
2
