#scratch
#show: replay.cmd
#files
; commands logged on device 0 and replayed on device 1 give the same state
log c replay
change x0 $12 r1 $34 x:$10..$13 $5555
asm p:0 move #1,x0
asm p:1 move x:(r0)+,x1
asm p:2 jmp 0
change r0 $10 pc 0
step 7
log off c
display x0 x1 r0 r1 pc ictr x:$10..$13 p:0..2
device dv1
replay
display x0 x1 r0 r1 pc ictr x:$10..$13 p:0..2
