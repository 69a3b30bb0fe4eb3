(str-length "x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"x\"")
(assert (s "yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy"))
