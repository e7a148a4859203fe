; the register layouts of the 73547 core and codec and of the 73583 codec
; and serial ports, and the device table with those types in it
device dv1 73547
device dv2 73583ram
device
device dv1
display core codec
device dv2
display codec rssi0 rssi1
quit
