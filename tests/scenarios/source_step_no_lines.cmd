; Source steps around a routine without line records: a step into it runs
; on to the caller's next line; next over it halts at a breakpoint inside
; only with "h".
#file plain.asm: ; calls a routine that has no line records
#file plain.asm: main:                   ; function
#file plain.asm:         move #1,x0      ; {
#file plain.asm:         jsr plain
#file plain.asm:         nop
#file plain.asm:         jsr plain
#file plain.asm:         nop
#file plain.asm: loop:   bra loop        ; }
#file plain.asm: plain:  move #5,x1      ; no line, a section of its own
#file plain.asm:         rts             ; no line
#cld plain.asm plain.cld
load plain.cld
display off
view s
step
; into a routine without line records: on to the caller's next line
step
next
; over the call, halting at a breakpoint inside with h
break p:plain+1
next h
next
