#file bg.tio: ; the bus is granted at cycle 30
#file bg.tio: 0 1 30 0
display off
asm p:$2000 nop
asm p:$2001 nop
asm p:$2002 jmp $2000
change bcr 0 omr 6
change pc $2000
step 3
evaluate d cyc
change pc $2000
output t br..bb term
input t bg bg
step 3
evaluate d cyc
quit
