#file xfer.io: ; isr, then rxh and rxl read by the host; then txh and txl written
#file xfer.io: 5000 4A00 5A00 4E00 5E00 4F00 5F00 4612 5612 4734 5734 5000
#file init.io: ; icr: INIT, HM = 2, RREQ
#file init.io: 5000 40C1 50C1 5000
#file dma.io: ; two HACK strobes with HEN high move rxh, then rxl
#file dma.io: 5000 1000 5000 1000 5000 5000
#show: hout.io
display off
asm p:0 nop
asm p:1 nop
asm p:2 jmp 0
asm p:$28 nop
asm p:$29 nop
change pbc 1 ipr $300 hcr 1 sr 0 pc 0
change htx $a55a
evaluate h hsr
input host xfer
output host hout
break p:$28
go
evaluate d cyc
evaluate h hrx
evaluate h hsr
evaluate h isr
evaluate h rxh
evaluate h rxl
break off
change pc 0
evaluate h hrx
evaluate h hsr
change hcr 0
input host init
step 4
evaluate h icr
evaluate h isr
change htx $beef
input host dma
step 8
evaluate h icr
evaluate h isr
evaluate h hsr
output off
quit
