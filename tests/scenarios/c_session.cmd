; A source-level session through the real binary: a program of three C
; functions with arguments and data of several kinds; a breakpoint in the
; innermost, the call stack with each level's arguments, values of
; another frame, data of each kind, a state saved and loaded in the
; middle, a reset that leaves no stale frames, and watches that look
; their names up again in another program.
#file calls.asm: ; sym Fpoint 0 0 0 8 10 aux 0 0 2
#file calls.asm: ; sym Fx 0 0 0 4 8
#file calls.asm: ; sym Fy 1 0 0 4 8
#file calls.asm: ; sym .eos 0 0 0 0 102 aux 0 0 2
#file calls.asm: ; sym Fbits 0 0 0 8 10 aux 0 0 1
#file calls.asm: ; sym Flo 0 0 0 14 18 aux 0 0 4
#file calls.asm: ; sym Fneg 4 0 0 4 18 aux 0 0 3
#file calls.asm: ; sym .eos 0 0 0 0 102 aux 0 0 1
#file calls.asm: ; sym Fcolor 0 0 0 10 15 aux 0 0 1
#file calls.asm: ; sym Fred 0 0 0 11 16
#file calls.asm: ; sym Fblue 5 0 0 11 16
#file calls.asm: ; sym .eos 0 0 0 0 102 aux 0 0 1
#file calls.asm: ; sym Fpt 0x110 1 2 8 2 aux @Fpoint 0 2
#file calls.asm: ; sym Fpp 0x112 1 2 0x18 2 aux @Fpoint
#file calls.asm: ; sym Fw 0x113 1 2 8 2 aux @Fbits 0 1
#file calls.asm: ; sym Fhue 0x114 1 2 10 2 aux @Fcolor
#file calls.asm: ; sym Fgrid 0x120 1 2 0xf4 2 aux 0 0 6 2 3
#file calls.asm: ; sym Fmsg 0x130 1 2 0x12 2
#file calls.asm: main:                   ; function
#file calls.asm:         move #2,x0      ; {
#file calls.asm:         move x0,x:(r2)+
#file calls.asm:         jsr outer
#file calls.asm:         move (r2)-
#file calls.asm: loop:   bra loop        ; }
#file calls.asm: outer:                  ; function code 2
#file calls.asm: ; sym Fk -3 1 -1 4 9
#file calls.asm:         move ssh,x:(r2)+
#file calls.asm:         move r0,x:(r2)+
#file calls.asm:         move x:(r2-3),x0 ; {
#file calls.asm:         move x0,x:(r2)+
#file calls.asm:         jsr square
#file calls.asm:         move (r2)-
#file calls.asm:         move x:-(r2),r0
#file calls.asm:         move x:-(r2),ssh
#file calls.asm:         rts             ; }
#file calls.asm: square:                 ; function
#file calls.asm: ; sym Fn -2 1 -1 4 9
#file calls.asm:         move r0,x:(r2)+
#file calls.asm:         move x:(r2-2),x0 ; {
#file calls.asm:         mpy x0,x0,a
#file calls.asm:         move x:-(r2),r0
#file calls.asm:         rts             ; }
#cld calls.asm calls.cld
#file other.asm: main:                   ; function
#file other.asm:         nop             ; {
#file other.asm: loop:   bra loop        ; }
#cld other.asm other.cld
load calls.cld
display off
change r2 $200 x:$110 3 x:$111 -4 x:$112 $110 x:$113 $35 x:$114 5
change x:$120..$125 7 x:$130 $131 x:$131 $68 x:$132 $69 x:$133 0
break square
go
step
where
where -2
; another frame's argument, where it lives, and a change to it
up
evaluate {k}
type {k}
evaluate {k = 9}
where
down
type {n}
; data of each kind
evaluate {pt}
evaluate {pp->y}
evaluate {w}
evaluate {w.neg}
type {w.neg}
evaluate {hue}
evaluate {grid}
evaluate {msg}
; a state saved in the middle of the session and loaded after a reset
watch {n}
watch h {pt.x}
save s mid.sim
reset s
where
load s mid.sim
where
watch
finish
where
watch
; another program, then the first one's symbols again
load other.cld
watch
load d calls.cld
watch
