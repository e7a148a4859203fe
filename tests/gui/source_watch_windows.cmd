; The Source and Watch windows opened over a program, kept through steps
; and closed again; the session reads the same on both front-ends.
asm p:$40 move #2,x0
asm p:$41 move #3,x1
asm p:$42 mpy x0,x1,a
asm p:$43 nop
change pc $40
change x:$100 $1234
wsource
wwatch r0
wwatch #5 x:$100
wwatch win2 d 3-4
wwatch win2 #2 x0
step 2
display x0 x1
wwatch #5 off
wwatch win2 off
wsource off
step
display a
quit
