; first line
; last line without a newline