; On-demand mode (network, DC = 0, internal frame sync): nothing is sent
; until tx is written; each written word then goes out with a frame sync
display off
asm p:0 nop
asm p:1 jmp 0
change pc 0
output t ssi0 term
output t sfs0 term
change cra0 $0000 crb0 $1830
change pcc $1f
step 100 cy
change tx0 $3c00
step 100 cy
change tx0 $c300
step 60 cy
evaluate h ssr0
quit
