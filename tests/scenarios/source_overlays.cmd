; Two routines share the words at "work": the source line shown is the one
; of the routine in memory now, also after a write swaps the other in.
#file ovl.asm: ; two routines share the same words
#file ovl.asm: main:                   ; function
#file ovl.asm:         move #1,x0      ; {
#file ovl.asm:         jsr work
#file ovl.asm:         nop
#file ovl.asm: loop:   bra loop        ; }
#file ovl.asm: alt:    move #2,x0      ; section
#file ovl.asm:         move #3,x0
#file ovl.asm:         rts
#file ovl.asm: work:   move #40,x1     ; overlay
#file ovl.asm:         do x1,wend
#file ovl.asm:         nop             ; no line
#file ovl.asm:         nop             ; no line
#file ovl.asm:         nop             ; no line
#file ovl.asm: wend:   rts
#cld ovl.asm ovl.cld
load ovl.cld
display off
view s
step
step
step
; over the loop: every instruction is looked up on the line of "do"
next
display ictr
; the other routine written over the first words
view r
change p:$44 $2002
change p:$45 $2003
change p:$46 $0006
view s
change pc $45
; and the loaded program back again
load ovl.cld
change pc $45
; coming back to a device redraws its view
device dv1 73521
device dv0
