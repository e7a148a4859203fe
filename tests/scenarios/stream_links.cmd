display off
device dv1 73521
device dv1
change x:$20 $1234 pcc 0 pcddr 1 pcd 1
device dv0
output pc0 term
asm p:0 move x:(r0),x0
asm p:1 move x0,x:(r1)+
asm p:2 jmp 0
change pc 0 r0 $10 r1 $30
input x:$10 dv1:x:$20
input pc0 dv1:pc0
input
step 3
device dv1
change x:$20 $5678 pcd 0
device dv0
step 3
display x:$30..$31
input off
input pc0 dv1:pc1
step 1
quit
