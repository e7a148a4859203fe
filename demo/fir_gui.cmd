; The FIR filter demo of fir.cmd in the GUI: the Register window and a
; Memory window on the outputs at x:$80 open first and follow the run; the
; program stays open afterwards (it has no quit) to be tried by hand.
wregister
wmemory x $80
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
disassemble p:$100..$110
;
; Coefficients 0.5, 0.25, 0.125, 0.0625 and an input that is one pulse of
; 0.5 at s[3]: the outputs trace the coefficients backwards.
change x:$40 0.5 x:$41 0.25 x:$42 0.125 x:$43 0.0625
change x:3 0.5
radix f x:$00..$0a x:$40..$43 x:$80..$87
display x:$40..$43 x:$00..$0a
;
; Run from p:$100 to the breakpoint at the end of the program.
break pc==$110
change pc $100
go
;
; The filtered block, as fractions, and the registers at the end.
display x:$80..$87
display
