display off
change p:$0 $4a22 p:$1 $3c04 p:$2 $38c5 p:$3 $0134 p:$4 $0000
change pc 0 a 0 r0 $20 r1 $10
break p:$0
break p:$2
break #4 p:$3 i1
go #2 :3
evaluate d a0
step h
go #1 :2
go
break #3 p:$1 x evaluate d a0
break #1 d
go
break #3 off
break #1 e
break #5 p:$1 n
go :2
evaluate d cnt1
quit
