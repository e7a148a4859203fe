; rssi0 with the gated clock and no frame sync (GCK set, FSD clear): the
; bit clock comes in on sck (a period of 4 cycles), every 8-bit word is a
; frame of its own, so every received word sets TRFS (ssr $d8 after each)
#file clk.io: ( 0 # 2 1 # 2 )
#file rx.io: $12 $34 $56 $78
display off
device dv1 73583
device dv1
asm p:0 movep x:<<$fff1,a
asm p:1 movep x:<<$fff0,b
asm p:2 jmp 0
change pc 0
input pc2 clk
input rssi0 rx
output rx0 term
output ssr0 term
change cra0 $0000 crb0 $3408
change tx0 $ab00
output rssi0 term
change pcc $1f
step 180 cy
quit
