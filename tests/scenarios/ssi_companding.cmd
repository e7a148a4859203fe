; 8-bit companded words (WL = 1): tx is compressed by G.711 before it is
; sent and the received code is expanded into rx; A-law with A/MU clear,
; mu-law with it set. A-law: 0 -> $d5, $7e00 -> $aa, code $d5 -> 8, $aa
; -> $7e00 (32256); mu-law: 0 -> $ff, code $80 -> $7d7c (32124), $00 ->
; $8284 (-32124), $ff -> 0
#file alaw.io: $d5 $aa
#file ulaw.io: $80 $00 $ff
display off
asm p:0 nop
asm p:1 jmp 0
change pc 0
output t ssi0 term
output t rx0 term
input ssi0 alaw
change cra0 $2000 crb0 $3030
change tx0 0
change pcc $1f
step 50 cy
change tx0 $7e00 ssr0 $40
step 32 cy
change pcc 0
input ssi0 ulaw
change crb0 $3038
change tx0 0
change pcc $1f
step 50 cy
change ssr0 $40
step 32 cy
change ssr0 $40
step 32 cy
quit
