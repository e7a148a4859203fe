; An untimed and a timed output stream of the same memory location are
; both written; removing either leaves the other writing
#scratch
#show: str.tio
display off
change x:$31 $69 x:$32 0
output x:$30 term -rs
output t x:$30 str -rs
asm p:0 move #$48,x0
asm p:2 move x0,x:$30
asm p:4 jmp 4
change pc 0
step 3
output t x:$30 off
output
change pc 0
step 3
output t x:$30 term
output x:$30 off
change pc 0
step 3
quit
