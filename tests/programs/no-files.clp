; With files switched off (see no-files.args) the program itself is still read, but no file function runs.
(try (open "no-files.clp" in) catch ?__ERROR)
(try (load "no-files.clp") catch ?__ERROR)
(try (save "no-files.tmp") catch ?__ERROR)
(try (remove "no-files.clp") catch ?__ERROR)
(printout t "still running" crlf)
(open "no-files.tmp" out "w")
