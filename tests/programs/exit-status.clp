1
(exit 7)
2
