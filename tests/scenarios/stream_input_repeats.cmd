#file reps.io: ; a value repeated, then the last value for ever
#file reps.io: 5 # 3 7
#file groups.io: ( 1 2 ) # 2 3
#file forever.io: ( $a %11 ) 4
#file floats.io: 1.5 $1.5 -1 0.25
asm p:0 move x:(r0),x0
asm p:1 move x0,x:(r1)+
asm p:2 move x:(r2),y0
asm p:3 move y0,x:(r3)+
asm p:4 jmp 0
input x:$10 reps
input x:$11 groups
input #5 x:$12 missing
input
display off
change pc 0 r0 $10 r1 $100 r2 $11 r3 $200
evaluate eof
step 35
display x:$100..$106
display x:$200..$206
evaluate eof
input #2 x:$11 forever
input x:$10 floats.io -rd
input
change pc 0 r1 $100 r3 $200
step 35
display x:$100..$106
display x:$200..$206
input off
input
quit
