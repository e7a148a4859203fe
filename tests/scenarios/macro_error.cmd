macros/outer_bad
; typed lines still run after every macro was closed
