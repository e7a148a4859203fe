#file volts.io: ; half a volt for 200 converter steps, then a quarter volt below zero
#file volts.io: 0.5 #200 -0.25
display off
device dv1 73547
device dv1
asm p:0 nop
asm p:1 nop
asm p:2 jmp 0
asm p:$2e nop
asm p:$2f nop
change pc 0 ctx $4000
input codec volts
output crx term
change cocr $4f04
step 200
output codec term
step 4
output off
change cocr $4b04
output codec term
step 4
output off
evaluate h cosr
input off
change cocr 0
change ctx 0 ipr $c0 sr 0 pc 0
change cocr $c300
break p:$2e
go
evaluate d cyc
evaluate h cosr
break off
device dv1 off
device dv2 73583
device dv2
asm p:0 nop
asm p:1 nop
asm p:2 jmp 0
change pc 0 ccr0 $0003
output crx term
change ccr1 $4000
step 200
output off
quit
