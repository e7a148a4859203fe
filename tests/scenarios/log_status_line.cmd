#show: s1.log
; "log v": while the source or assembly view is shown, its status line
; also goes into the session log; "log off v" stops that
#file prog.asm: main:                   ; function
#file prog.asm:         move #2,x0      ; {
#file prog.asm:         nop
#file prog.asm: loop:   bra loop        ; }
#cld prog.asm prog.cld
load prog.cld
display off
log s s1
log v
view s
step
log off v
step
view r
log off
