#args: ;from-the-argument
; from standard input
