display off
change p:$0 $4a22 p:$1 $3c04 p:$2 $38c5 p:$3 $0134 p:$4 $0000
change pc 0 a 0 r0 $20 r1 $10
step 3
evaluate d cyc
evaluate d ictr
trace 2
evaluate d cyc
evaluate d ictr
step 5 cy
evaluate d cyc
evaluate d ictr
trace 3 cy
evaluate d cyc
evaluate d ictr
break p:$2
step 20
evaluate d ictr
step 20 h
evaluate d ictr
evaluate d cyc
quit
