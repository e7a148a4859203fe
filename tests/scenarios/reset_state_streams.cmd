; reset s removes the device's streams with its breakpoints: none is
; listed afterwards, and streams added again work as before
#file vals.io: 1 2 3 4 5 6
display off
output x:$10 term
input x:$11 vals
output t x:$12 out -o
break pc==5
asm p:0 move x:$11,x0
asm p:1 move x0,x:$10
asm p:2 move x0,x:$12
asm p:3 jmp 0
change pc 0
step 4
reset s
display off
output
input
break
asm p:0 move x:$11,x0
asm p:1 move x0,x:$10
asm p:2 move x0,x:$12
asm p:3 jmp 0
change pc 0
step 4
input x:$11 vals
output x:$10 term
output
input
step 4
quit
#show: out.tio
