display off
change p:$0 $4a22 p:$1 $0134 p:$2 $0000 pc 0
device dv1 73547
device dv2 on
device dv3
change p:$0 $4a22 p:$1 $4a22 p:$2 $0134 pc 0
device dv0
device
step 3
evaluate d cyc
trace 2
device dv2
change p:$0 $4a22 p:$1 $4a22 p:$2 $4a22 p:$3 $0134 pc 0
break p:$2
device dv0
go
evaluate d cyc
device dv1
evaluate d cyc
device dv2
evaluate d cyc
evaluate d a0
device dv3
evaluate d a0
device dv4 73583
go 2
device dv0
evaluate d cyc
quit
