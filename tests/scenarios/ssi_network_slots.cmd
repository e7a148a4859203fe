; ssi0 with 8-bit words (32 cycles each with PM = 0) and DC = 3, four
; words a frame: in normal mode only the first word of each frame is sent
; and TDE is set once a frame; in network mode with tml = $0005 the first
; and third; a tsr write skips the next slot (nothing sent) but still sets
; TDE
display off
asm p:0 nop
asm p:1 jmp 0
change pc 0
output t ssi0 term
change cra0 $0300 crb0 $1030
change tx0 $5a00
change pcc $1f
output t ssr0 term
step 300 cy
output off
change pcc 0
change tml0 $0005 crb0 $1830
output t ssi0 term
change pcc $1f
change tx0 $c300
step 300 cy
change tsr0 0
step 100 cy
evaluate h ssr0
quit
