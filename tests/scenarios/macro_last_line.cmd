macros/no_newline
; typed after the macro
