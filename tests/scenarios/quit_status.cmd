#status: 0
quit e
nosuch
; an error outside a macro does not end the program
quit
; never read
