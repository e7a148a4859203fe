#file pcin.io: $0a5 $05a $fff
display off
output portc term
output pc0..pc11 term
change pcc 0 pcddr $f
change pcd $ff
evaluate pcd
asm p:0 move x:$ffe3,x0
asm p:2 move x0,x:(r0)+
asm p:3 jmp 0
input portc pcin
change pc 0 r0 $40
step 6
display x:$40..$41
evaluate pcd
change pcddr $fff
step 6
display x:$40..$43
change pcddr $f
step 3
display x:$40..$44
input
change pbc 1
evaluate pbc
evaluate pbddr
change pcc $1f0
evaluate pcc
quit
