; a pc breakpoint reports each arrival once, under step h and go #n :k
asm p:0 inc a
asm p:1 inc a
asm p:2 inc a
asm p:3 jmp >$0
break pc==$2
change pc 0
step 20 h
display pc a0
go #1 :3
display pc a0 cyc
quit
