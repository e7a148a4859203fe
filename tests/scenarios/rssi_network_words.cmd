; rssi0 of a "73583" in network mode with its own bit clock and frame sync
; (8-bit words, a frame sync as long as the first word): with DC = 2 a
; frame has three words, with DC = 0 two; the program echoes each received
; word into tx, so every slot sends the word received in the slot before
#file rx.io: $11 $22 $33 $44 $55 $66 $77 $88 $99
display off
device dv1 73583
device dv1
asm p:0 movep x:<<$fff1,a
asm p:1 movep a,x:<<$fff1
asm p:2 jmp 0
change pc 0
output t sfs0 term
output rssi0 term
input rssi0 rx
output rx0 term
change cra0 $0200 crb0 $3c30
change pcc $1f
step 230 cy
change cra0 $0000
step 150 cy
output off
input off
; cra bits 12-11 and crb bits 1-0 do not exist
change cra0 $ffff crb0 $3c33
evaluate h cra0
evaluate h crb0
; gated clock in normal mode, DC = 1: sck runs only for the first word of
; each two-word frame; clearing SSIEN stops the port (TDE alone, sck
; undriven)
change pcc 0
change cra0 $0100 crb0 $3438
output t sck0 term
output t sfs0 term
change pcc $1f
step 140 cy
output off
change crb0 $3038
evaluate h ssr0
output t sck0 term
step 10 cy
quit
