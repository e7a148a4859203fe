#file irqa.tio: ; IRQA falls together with the timer's overflow
#file irqa.tio: 7 0 +10 1
display off
asm p:0 nop
asm p:1 jmp 0
change p:$a $4a3a p:$20 $4a22 p:$22 $4a2a
change pc 0
change tpr 99 tcr $8000
step 10
evaluate d cyc
evaluate d tctr
change tcr 0 tpr 99
change tcr $8003
step 20
evaluate d cyc
evaluate d tctr
change tcr $8001
change tctr 5
step 3
evaluate d cyc
evaluate d tctr
change tcr 0
change pc 0 a 0 b 0 sr 0
change ipr $4000
change pcc $800
output t tout term
change tpr 3 tcpr 1 tcr $b600
break p:$20
break p:$22
break p:$a
go
go
go
evaluate d a0
evaluate d b0
break off
step 8
output off
change tcr 0
change pc 0 a 0 b 0 x0 0
change tpr 3 tcpr 9 tcr $8200 ipr $4006
input t irqa irqa
break p:$20
break p:$a
go
go
break off
change tcr 0
step 10
change pc 0 a 0 b 0 x0 0
change tpr 3 tcpr 9 tcr $8200 ipr $8005
input t irqa irqa
break p:$20
break p:$a
go
go
quit
