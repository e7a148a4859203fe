; Analog pins take float values and their output streams write a value
; when it changes (and the first one): the untimed file with gap marks,
; the timed session lines with their cycles
#file volts.io: 0.5 #3 -0.25 #4 1.0
#show: mic.io
device dv0 73547
display off
input mic volts -rf
output mic mic -rf
output t mic term -rf
output t spkp term -rf
step 12 cy
output off
quit
