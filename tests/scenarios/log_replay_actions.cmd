#scratch
#show: acts.cmd
; The commands a breakpoint runs during a run are not command lines of
; the session: the command log leaves them out, so that replaying it
; runs them once, through the breakpoint, as the session did.
display off
log c acts
asm p:$100 inc a
asm p:$101 inc a
asm p:$102 jmp $100
change pc $100 a 0 x0 0
break p:$101 x change x0 x0+1
step 6
log off c
evaluate x0
break off
acts
evaluate x0
