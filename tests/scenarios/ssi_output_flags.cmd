; with SYN, FLG (FSD0 on the 73547) and FSD set, the frame-sync pins carry
; the output flags latched with each word: sfs0 OF0, sc10 OF1, inverted
; with FSI; internal clock, 16-bit words, one a frame
display off
asm p:0 jmp 0
change pc 0
output t sfs0 term
output t sc10 term
output t ssi0 term
change cra0 $6000 crb0 $1436
change pcc $1f
change tx0 $1234
step 70 cy
change crb0 $1435
change tx0 $5678
step 70 cy
change crb0 $1635
change tx0 $9abc
step 70 cy
device dv1 73547
device dv1
display off
asm p:0 jmp 0
change pc 0
output t sfs0 term
output t sc10 term
change cra0 $6000 crb0 $1435
change pcc $1f
change tx0 $1234
step 70 cy
quit
