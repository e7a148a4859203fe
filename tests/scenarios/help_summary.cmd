; the summary lists every command, the trailer and the topics of the
; family and of the peripherals (a shared table once)
help
device dv1 73583
help
