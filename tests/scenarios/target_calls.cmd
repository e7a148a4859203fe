; Calls into the target: a C expression calls functions of the loaded
; program through its dummy_call routine; the result comes back from the
; result register and the instruction and cycle counters are put back.
#file calls.asm: main:                   ; function
#file calls.asm:         move #2,x0      ; {
#file calls.asm:         nop
#file calls.asm: loop:   bra loop        ; }
#file calls.asm: seven:                  ; function
#file calls.asm:         move #7,a       ; {
#file calls.asm:         rts             ; }
#file calls.asm: twice:                  ; function
#file calls.asm:         move #-1,n2
#file calls.asm:         move x:(r2+n2),a        ; {
#file calls.asm:         asl a
#file calls.asm:         rts             ; }
#file calls.asm: sub2:                   ; function
#file calls.asm:         move #-1,n2
#file calls.asm:         move x:(r2+n2),a        ; {
#file calls.asm:         move #-2,n2
#file calls.asm:         move x:(r2+n2),x0
#file calls.asm:         sub x0,a
#file calls.asm:         rts             ; }
#file calls.asm: ; the routine a call into the target goes through: +1 the function,
#file calls.asm: ; +3 minus the argument words and the return address, +7 minus a
#file calls.asm: ; structure result's words
#file calls.asm: dummy_call:
#file calls.asm:         jsr >$0
#file calls.asm:         move #>$0,n2
#file calls.asm:         lea (r2)+n2,r2
#file calls.asm:         nop
#file calls.asm:         move #>$0,n3
#file calls.asm:         move x:(r2),x0
#file calls.asm:         move x0,ssh
#file calls.asm:         rts
#cld calls.asm calls.cld
load calls.cld
display off
change r2 $100
step 2
evaluate d ictr
evaluate d cyc
evaluate {seven()}
evaluate d ictr
evaluate d cyc
evaluate h p:dummy_call+3
; one argument: the return address at the old r2, the argument above it
evaluate {twice(21)}
evaluate h x:$100
evaluate h x:$101
evaluate h p:dummy_call+1
evaluate h p:dummy_call+3
evaluate h p:dummy_call+7
; two arguments: the last one lowest
evaluate {sub2(10, 3)}
evaluate h x:$101
evaluate h x:$102
evaluate h p:dummy_call+3
; pc and the stack pointer are as they were
evaluate h pc
evaluate h r2
; a call's result as another call's argument, and two calls in one sum
evaluate {twice(seven())}
evaluate {seven() * seven() + 1}
evaluate d ictr
; a breakpoint's C condition, tested at each instruction of the call, leaves
; the paused sum as it was
break {2 > 3}
evaluate {seven() * seven() + 1}
