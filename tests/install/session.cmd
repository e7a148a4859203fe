; A short program run to a breakpoint, its output shown.
asm p:$100 move #$80,r2
asm p:$102 do #3,$105
asm p:$104 move a,x:(r2)+
asm p:$105 debug
change a $123456
break pc==$105
change pc $100
go
display x:$80..$82
evaluate 6*7
quit
