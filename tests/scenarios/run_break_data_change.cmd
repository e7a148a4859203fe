; dw stops only on writes that change the stored word
asm p:0 move #$5,x0
asm p:2 move x0,x:$10
asm p:3 move x0,x:$10
asm p:4 move #$6,x0
asm p:6 move x0,x:$10
asm p:7 jmp >$0
break dw x:$10
change pc 0
go
display pc x:$10 cyc
go
display pc x:$10 cyc
go
display pc x:$10 cyc
quit
