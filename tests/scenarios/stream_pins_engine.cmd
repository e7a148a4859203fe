#file fall20.tio: ; IRQA falls in the cycle before an instruction ends
#file fall20.tio: 20 0 +8 1
#file fall21.tio: ; and in the cycle in which it ends
#file fall21.tio: 21 0 +8 1
#file wake.tio: 30 0 +4 1
#file ta.tio: ; transfer acknowledge held off until cycle 40
#file ta.tio: 0 1 40 0
#file reset.tio: 10 0 +5 1
display off
change p:$a $4a22
asm p:0 nop
asm p:1 nop
asm p:2 jmp 0
change ipr $5 sr 0
break p:$a
change pc 0 a 0
input t irqa fall20
output t irqa term
go
step 6
change pc 0
input t irqa fall21
go
step 6
evaluate a0
asm p:0 wait
change pc 0
input t irqa wake
go
step 6
asm p:0 stop
change pc 0
input t irqa wake
step 1
evaluate stop
go
evaluate stop
step 6
input off
output off
break off
asm p:$2000 nop
asm p:$2001 nop
asm p:$2002 jmp $2000
change pc $2000 bcr 0
step 3
evaluate d cyc
change pc $2000 bcr 3
step 3
evaluate d cyc
input t ta ta
change pc $2000 bcr 0
step 3
evaluate d cyc
input off
asm p:$e000 jmp $2000
input t reset reset
output t reset term
change pc $2000
break p:$e000
go
evaluate d cyc
quit
