; Breakpoints set, listed, disabled, enabled and cleared, and runs to them
; and by steps; the dialog test builds the same lines from the dialogs' forms
; and compares the session with this macro's.
asm p:$40 move #2,x0
asm p:$41 move #3,x1
asm p:$42 nop
asm p:$43 jmp $40
change pc $40
break #1 w x:$10 h 
break #2  p:$42 h 
break
break #1 d
break
break #1 e
go $40 #2 :2
display pc
step 3 in h
display pc
break #1 off
break #2 off
break
quit
