#scratch
#date
#show: fir.log
#show: idle.log
#files
; The FIR demo profiled: 8 outputs of a 4-tap filter read 64 data words
; and write 8; the counts are the device's own (cyc, ictr)
asm p:$100 move #$0,r1
asm p:$102 move #$80,r2
asm p:$104 do #8,$110
asm p:$106 move r1,r0
asm p:$107 move #$40,r3
asm p:$109 clr a x:(r0)+,y0
asm p:$10a move x:(r3)+,x0
asm p:$10b rep #3
asm p:$10c mac y0,x0,a x:(r0)+,y0 x:(r3)+,x0
asm p:$10d macr y0,x0,a
asm p:$10e move a,x:(r2)+
asm p:$10f lea (r1)+,r1
asm p:$110 debug
break pc==$110
change pc $100
log p fir
log
go
display cyc ictr
log off p
log
; nothing executed: the static report only
log p idle
log off p
