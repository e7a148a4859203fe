; the frame sync rssi0 drives in normal mode with two 8-bit words a frame
; (sck period 4 cycles, a word 32): FSL alone, the first bit period of the
; frame; FSL and ELFS, the last bit period of the word before; ELFS alone,
; one word long from that bit period on; neither, the whole first word
display off
device dv1 73583
device dv1
asm p:0 jmp 0
change pc 0
output t sfs0 term
change cra0 $0100 crb0 $3530
change pcc $1f
step 90 cy
change pcc 0 crb0 $3534
change pcc $1f
step 90 cy
change pcc 0 crb0 $3434
change pcc $1f
step 90 cy
change pcc 0 crb0 $3430
change pcc $1f
step 90 cy
quit
