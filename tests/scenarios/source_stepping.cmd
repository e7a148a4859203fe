; Source-level stepping on a program with line numbers: next over a
; call, step into a function, finish, until a line without code, and the
; views and listings that show where the program is.
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
#cld prog.asm prog.cld
load prog.cld
display off
; register view to source (the program has symbols)
view
; next over a jsr stops at the instruction after it
next
; step into a function with line records: the first line of its body
step
; finish runs to the return and stops in the caller
finish
; until a line without code stops at the first instruction after it
until 6
next 2 li
; trace by lines into a call shows every line it reaches
trace 2 li
finish
; lines as locations and in expressions
evaluate h prog.asm@14
evaluate h @9
evaluate h other.c@3
until 99
until prog.asm@x
; a listing of the file's first and last lines
list 0
list 99999
list -
list main
; step with no line record at pc is an instruction step
change pc $10
step li
; the assembly view, and back to registers
view
view
