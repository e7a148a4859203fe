; ssi0 in normal mode, internal bit clock and frame sync: with PSR = 0 and
; PM = 0 sck has a period of 4 cycles and a 16-bit word takes 64; with
; PM = 1 twice that; received words come from an input stream ("idle"
; gives rx = 0) and reach rx at the end of each word
#file rx.io: $1234 idle $00ff
display off
asm p:0 nop
asm p:1 jmp 0
change pc 0
output t sck0 term
output t sfs0 term
change cra0 $6000 crb0 $3030
change tx0 $a5f0
change pcc $1f
step 24 cy
output off
output t ssi0 term
output t std0 term
input ssi0 rx
output t rx0 term
step 140 cy
evaluate h ssr0
change pcc 0
evaluate h ssr0
output off
output t ssi0 term
output t rx0 term
change cra0 $6001
change pcc $1f
step 300 cy
quit
