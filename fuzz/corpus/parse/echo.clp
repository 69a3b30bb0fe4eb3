1
2.5
abc
