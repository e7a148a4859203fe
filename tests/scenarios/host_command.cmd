#file hc.io: ; the host writes cvr with HC set and the vector left at its reset value
#file hc.io: 5000 4196 5196 5000
display off
evaluate h cvr
evaluate h hsr
evaluate h isr
evaluate h ivr
asm p:0 nop
asm p:1 nop
asm p:2 jmp 0
asm p:$2c nop
asm p:$2d nop
change pbc 1 ipr $300 hcr 4 sr 0 pc 0
input host hc
output host term
break p:$2c
go
evaluate d cyc
evaluate h cvr
evaluate h hsr
step 2
evaluate h cvr
evaluate h hsr
quit
