; The dialog functions answered by the program on its terminal: the question on the standard output, the
; answer a line of the standard input; an empty answer takes the default, the end of input cancels.
(show-message "Ready to start")
(input-box "Order" "Quantity" "1")
(input-box "Order" "Quantity" "1")
(input-query "Name")
(message-dlg "Save the changes?" mtConfirmation "[mbYes,mbNo,mbCancel]")
(message-dlg "Continue?" mtWarning "mbOK" 12)
(bind ?answer (message-dlg "Really?" mtConfirmation "mbYes mbNo"))
(printout t "answered " ?answer crlf)
(input-query "Name" "Your name" "nobody")
(input-box "Order" "Quantity" "1")
(message-dlg "Still there?" mtInformation "[mbYes,mbNo]")
(message-dlg "Kind?" mtStrange "[mbOK]")
