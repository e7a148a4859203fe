#file long.io: 1 vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv 2
#file long.io: ; the next value is asked at the terminal
#file long.io: t
display off
input x:$10 long
output x:$30 nofolder/out
output
asm p:0 move x:(r0),x0
asm p:1 move x0,x:(r1)+
asm p:2 jmp 0
change pc 0 r0 $10 r1 $30
step 12
$77
display x:$30..$33
input x:$11 term
3
4 # 2

input
input #1 x:$10 term0000
change pc 0 r0 $11 r1 $30
step 15
display x:$30..$34
quit
