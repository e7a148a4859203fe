#file values.tio: ; absolute, then relative to the value before
#file values.tio: 10 $ff +5 1
#file portb.tio: 10 1010
#file portb.tio: 13 0011
#file portb.tio: +2 x1pn
display off
change pc 0
input t x:$20 values
input t pb0..pb3 portb
output pb0..pb3 pins.io
output t pb3..pb0 term
input
output
step 9 cy
display x:$20
step 1 cy
display x:$20
step 4 cy
display x:$20
step 1 cy
display x:$20
step 5 cy
evaluate eof
output off
#show: pins.io
quit
