#status: 1
quit e
macros/bad_line
; never read: the error ended the program
