; Arguments are read as text: symbols, strings and numbers (floats with four decimals) all give theirs.
(str-cat "a" b 1)
(str-cat 1.5 2)
(str-cat)
(get-type (str-cat abc))
(sym-cat "a" b 1)
(get-type (sym-cat "a" b))
(str-format "%d-%s|%5.2f|%-4d|" 3 abc 3.14159 7)
(str-format "x" 1 "a")
(str-format "%d %d" 1)

; Case conversion touches only A-Z and a-z and keeps a symbol a symbol, a string a string.
(upcase abc)
(upcase "abc")
(lowcase "AbC-1")
(lowcase ABC)
(upcase 1.5)
(upcase "straße")

; Comparison by character codes, case-sensitive: the difference of the first differing codes, or of the
; lengths.
(str-compare "a" "b")
(str-compare "B" "a")
(str-compare "abc" "ab")
(str-compare "ab" "abcd")
(str-compare a "a")

; Positions and lengths count from 1, in bytes; an empty text is found nowhere.
(str-index "lo" "hello")
(str-index "x" "hello")
(str-index "" "hello")
(str-index l hello)
(str-index 1 21)
(str-length "hello")
(str-length "")
(str-length 1.5)
(str-length "é")

; Substrings: the end is cut at the text's end, an end before the start gives the empty string.
(sub-string 2 3 "hello")
(sub-string 2 10 "hello")
(sub-string 3 2 "hello")
(sub-string 1 1 hello)
(sub-string 5 5 "hello")
(get-type (sub-string 1 2 abc))
(sub-string 2.9 3.9 "hello")

; A start beyond the text is refused.
(sub-string 6 6 "hello")
