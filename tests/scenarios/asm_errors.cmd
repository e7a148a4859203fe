; lines that do not assemble write nothing and say why
asm p:$10 move #$12,x0
asm p:$10 bogus a
asm p:$10 nop x0,a
asm p:$10 move (r0),x0
asm p:$10 bfset #$f00f,x:(r0)
asm p:$10 do ssh,*+5
asm p:$10 add x0,a x0,a
asm p:$10 mpy x0,a1,a
asm p:$10 move x:(r1)+n0,x0
asm p:$10 move x:(r2+$80),x0
asm p:$10 movep #$12,x0
asm p:$10 movem x0,a
asm p:$10 subl b,a x:(r0)+,y0 x:(r3)+,x0
asm p:$10 enddo x0
asm p:$10 move x:(r0)+,p:(r1)-
evaluate h p:$10
