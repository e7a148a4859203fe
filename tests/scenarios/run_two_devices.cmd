display off
change p:$0 $4a22 p:$1 $0134 p:$2 $0000 pc 0
break p:$0 n
device dv1
display off
change p:$0 $4a22 p:$1 $4a22 p:$2 $0134 p:$3 $0000 pc 0
break p:$1
device dv0
go
evaluate d cyc
evaluate d a0
device dv0
evaluate d cyc
evaluate d a0
quit
