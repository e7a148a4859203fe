#scratch
display off
output x0 term
output t y0 term -rd
change x0 $1234 y0 -2
output #4 t x:$30 words.tio -rd
output x:$31 text.io -rs
change x:$31 $48 x:$32 $69
asm p:0 move #$41,x0
asm p:1 move x0,x:$30
asm p:3 move x0,x:$31
asm p:5 move x:$30,a
asm p:7 jmp 0
output history term
output ehistory ehist.io
output t dhistory dhist.tio
change pc 0
output
step 4
output #2 off
output
output off
output
#show: words.tio
#show: text.io
#show: ehist.io
#show: dhist.tio
quit
