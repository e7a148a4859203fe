; Receiver overrun and transmitter underrun: a word received while RDF is
; set sets ROE and leaves rx as it was; a load without a tx write since
; the last one sets TUE. Reading ssr and then rx clears ROE and RDF; rx
; alone clears RDF only; a tx write after an ssr read clears TUE. Then
; both ports' receive interrupts at once, taken in ipr priority order.
#file in0.io: $11 $22 $33 $44 $55 $66
display off
asm p:0 nop
asm p:1 jmp 0
asm p:$40 movep x:$fff0,a
asm p:$41 movep x:$fff1,b
asm p:$42 movep x0,x:$fff1
asm p:$43 jmp $43
asm p:$50 movep x:$fff1,b
asm p:$51 jmp $51
change pc 0
input ssi0 in0
output t ssr0 term
output t rx0 term
change cra0 $0000 crb0 $3030
change tx0 $1200
change pcc $1f
step 90 cy
output off
change pc $40
step 4
output t ssr0 term
output t rx0 term
step 60 cy
change pc $50
step 2
evaluate h ssr0
output off
change pcc 0
change pc 0 sr 0
asm p:$12 movep x:$fff1,x0
asm p:$13 inc a
asm p:$1a movep x:$fff9,x0
asm p:$1b inc b
change cra0 $0000 crb0 $b030 cra1 $0000 crb1 $b030
change ipr $1800
change pcc $3ff
break p:$12
break p:$1a
go
go
change pcc 0
change ipr $2400
change pcc $3ff
go
go
quit
