; list + and list - before any page was shown move from the page at pc,
; in the source view and, with no program, in the assembly view
#file prog.asm: ; squares a number in a function
#file prog.asm: main:                   ; function
#file prog.asm:         move #2,x0      ; {
#file prog.asm:         jsr square
#file prog.asm:         move a,x1
#file prog.asm: 
#file prog.asm:         nop
#file prog.asm:         move #3,x0
#file prog.asm:         jsr square      ; the call ends the line
#file prog.asm:         nop
#file prog.asm: loop:   bra loop        ; }
#file prog.asm: square:                 ; function
#file prog.asm:         move x0,y0      ; prologue
#file prog.asm: 	mpy x0,y0,a	; {
#file prog.asm:         nop
#file prog.asm:         rts             ; }
#file prog.asm: seven:                  ; function
#file prog.asm:         move #7,a       ; {
#file prog.asm:         rts             ; }
#file prog.asm: dummy_call:
#file prog.asm:         jsr >$0
#file prog.asm:         move #>$0,n2
#file prog.asm:         lea (r2)+n2,r2
#file prog.asm:         nop
#file prog.asm:         move #>$0,n3
#file prog.asm:         move x:(r2),x0
#file prog.asm:         move x0,ssh
#file prog.asm:         rts
#cld prog.asm prog.cld
load prog.cld
display off
list +
list -
device dv1 73521
device dv1
display off
list +
