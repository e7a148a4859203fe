asm p:$50 move #$12,x0
asm p:$51 move x:(r1)+n0,x0
asm p:$51 nop
