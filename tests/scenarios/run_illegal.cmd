display off
display on pc
change p:$0 $4a22 p:$1 $4a22 p:$2 $0003 p:$3 $4a22
change pc 0
go
evaluate d ictr
quit
