; pc after a run stops names the next instruction to run
display off
change p:$0 $4a22 p:$1 $3c9c p:$2 $1234 p:$3 $0134 p:$4 $0010 p:$10 $4a2a p:$11 $0000
change pc 0 a 0 b 0
step
evaluate d a0
step
evaluate d cyc
break p:$10
go
evaluate d b0
break off
break pc==$11
go
evaluate d b0
evaluate d cyc
evaluate d ictr
break off
; a repeated instruction, then a DO loop's end
change p:$20 $0f03 p:$21 $4a22 p:$22 $0000
change pc $20 a 0
step
step
step
step
evaluate d a0
change p:$30 $0e02 p:$31 $0002 p:$32 $4a22 p:$33 $4a2a p:$34 $0000
change pc $30 a 0 b 0
step 3
step
step
step
evaluate d b0
; an interrupt taken at the end of the software interrupt
change p:$8 $4a2a p:$9 $0000 p:$40 $0005 p:$41 $4a22
change pc $40 a 0 b 0
step
evaluate d b0
step 2
evaluate d b0
evaluate d a0
quit
