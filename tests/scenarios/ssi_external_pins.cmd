#file pins.io: ; srd0 sck0 sc10 sfs0, one value a cycle: sck period 8, rising at
#file pins.io: ; multiples of 8; srd changes at the rises and is taken at the falls
#file pins.io: ( 0100 # 4 0000 # 4 ) # 3
#file pins.io: ; frame 1 at cycle 24, the frame syncs high for the word: $c5 in
#file pins.io: 1111 # 4 1011 # 4 1111 # 4 1011 # 4 0111 # 4 0011 # 4 0111 # 4 0011 # 4
#file pins.io: 0111 # 4 0011 # 4 1111 # 4 1011 # 4 0111 # 4 0011 # 4 1111 # 4 1011 # 4
#file pins.io: ( 0100 # 4 0000 # 4 ) # 5
#file pins.io: ; frame 2: the frame syncs rise two cycles into the high half at 128; $5a in
#file pins.io: 0100 # 2 0111 # 2 0011 # 4 1111 # 4 1011 # 4 0111 # 4 0011 # 4
#file pins.io: 1111 # 4 1011 # 4 1111 # 4 1011 # 4 0111 # 4 0011 # 4 1111 # 4 1011 # 4
#file pins.io: 0111 # 4 0011 # 4
#file pins.io: ( 0100 # 4 0000 # 4 )
; ssi0 with external bit clock and frame syncs (8-bit words, normal mode, one
; word a frame), its input pins driven from a stream: each word starts at the
; rise of the frame sync on sfs0 (in the same cycle when it rises in the high
; half of a clock period) and is shifted out on std0 at the sck0 rises; srd0
; is taken at the falls into rx, framed by sc10; between frames std0 is
; undriven and nothing is sent
display off
asm p:0 jmp 0
change pc 0
change cra0 $0000 crb0 $3000
input srd0..sfs0 pins
output t sfs0 term
output t std0 term
output t ssi0 term
output t rx0 term
change pcc $1f
change tx0 $a500
step 100 cy
evaluate h ssr0
change ssr0 0
change tx0 $3c00
step 120 cy
evaluate h ssr0
quit
