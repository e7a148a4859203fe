display off
display on a0 x0
change p:$0 $4a22 p:$1 $3c04 p:$2 $38c5 p:$3 $0134 p:$4 $0000
change x:$20..$2f $7
break cyc==3001
break cyc>5000&&cyc<5004&&a0!=0 n
break cyc==4000 i1
break cyc>=6000
change pc 0 a 0 r0 $20 r1 $10 x:$10..$1f 0
go
go
evaluate d cnt1
break #4 d
break #1 e
change cyc 2990
go
quit
