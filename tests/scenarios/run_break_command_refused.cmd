; A breakpoint's command that fails its check does nothing at the hit and
; the session says why, after its echo; the hit still counts for go
display off
asm p:0 inc a
asm p:1 jmp 0
change pc 0
break pc==1 x change zz 1
go
break #1 pc==1 x evaluate 5 6
go :2
evaluate a
quit
