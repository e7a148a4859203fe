display off
change p:$0 $4a22 p:$1 $4a22 p:$2 $0134 p:$3 $0000 pc 0
break p:$1 x evaluate d a0
go :3
evaluate d a0
break #1 off
break p:$0
go
evaluate d cyc
