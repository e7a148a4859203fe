; the serial ports' file-format topics, whole: ssi on the first device,
; rssi on a 73583
help ssi
device dv1 73583
device dv1
help rssi
quit
