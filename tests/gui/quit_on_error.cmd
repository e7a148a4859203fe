; Quit-on-error: the refused line ends the program with status 1 before
; the lines after it.
quit e
display v
frobnicate 12
display v
quit
