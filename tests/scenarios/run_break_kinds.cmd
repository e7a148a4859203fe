display off
display on a0 x0
change p:$0 $4a22 p:$1 $3c04 p:$2 $38c5 p:$3 $0134 p:$4 $0000
change x:$20..$2f $7
break p:$3
change pc 0 a 0 r0 $20 r1 $10 x:$10..$1f 0
go
break off
break cyc>=25
change pc 0 a 0 r0 $20 r1 $10 x:$10..$1f 0
go
break off
break a0==$3
change pc 0 a 0 r0 $20 r1 $10 x:$10..$1f 0
go
break off
break r x:$22
change pc 0 a 0 r0 $20 r1 $10 x:$10..$1f 0
go
break off
break w x:$12
change pc 0 a 0 r0 $20 r1 $10 x:$10..$1f 0
go
break off
break rw x:$11..$13
change pc 0 a 0 r0 $20 r1 $10 x:$10..$1f 0
go
break off
break r a0
change pc 0 a 0 r0 $20 r1 $10 x:$10..$1f 0
go
break off
break w x0
change pc 0 a 0 r0 $20 r1 $10 x:$10..$1f 0
go
break off
break rw x0
change pc 0 a 0 r0 $20 r1 $10 x:$10..$1f 0
go
break off
break dr x:$21
break drw x:$10..$1f i1
break dw x:$11 s
break #9 cyc>=1000
break
break #9
change pc 0 a 0 r0 $20 r1 $10 x:$10..$1f 0
go
evaluate d cnt1
quit
