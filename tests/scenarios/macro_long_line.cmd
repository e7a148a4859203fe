macros/long_line
; typed after the refused macro
