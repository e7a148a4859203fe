#scratch
#show: steps.cmd
; A command log written while watches, a C value, frames and a type are
; shown holds the command lines only, so that it replays as a macro and
; the replay ends as the session did.
#file w.asm: ; sym Fcount 0x80 1 2 4 2
#file w.asm: main:                   ; function
#file w.asm:         move #3,x0      ; {
#file w.asm:         move x0,x:$80
#file w.asm: loop:   bra loop        ; }
#cld w.asm w.cld
display off
log c steps
load w.cld
change x:$80 0
watch x:$80
watch {count}
step 2
evaluate {count}
type {count}
where
log off c
change x:$80 0
watch off
steps
evaluate x:$80
