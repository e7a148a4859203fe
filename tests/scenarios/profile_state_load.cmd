; A profiled program saved and loaded back in the middle of its run: the
; profile goes on with the loaded program's object file (its static
; sizes and source), counting from the load
#file loop.asm: main:
#file loop.asm:         move #0,r1
#file loop.asm:         do #20,endl
#file loop.asm:         jsr work
#file loop.asm:         lea (r1)+,r1
#file loop.asm: endl:
#file loop.asm:         nop
#file loop.asm: done:   debug
#file loop.asm: work:
#file loop.asm:         move r1,x0
#file loop.asm:         move x0,y0
#file loop.asm:         mpy x0,y0,a
#file loop.asm:         rts
#cld loop.asm loop.cld
#date
#head: 18 loop.log
load loop.cld
display off
break done
log p loop
step 40
save s mid
step 5
load s mid
log
go
log off p
quit
