#file both.tio: ; IRQA and IRQB fall together
#file both.tio: 20 00 +10 11
display off
change p:$a $4a22 p:$c $4a2a
asm p:0 nop
asm p:1 jmp 0
break p:$a
break p:$c
change ipr $2d sr 0 a 0 b 0
input t irqa..irqb both
change pc 0
go
change ipr $35
change pc 0
input t irqa..irqb both
go
quit
