macros/outer
; typed after the macros ended
