; the summary lists every command, the trailer and the topics of the
; family and of the peripherals (a shared table once); a 73583 lists the
; rssi and codec topics in place of the ssi one
help
device dv1 73583
device dv1
help
