; A device switched off takes no part in runs: a go while it is shown
; runs the devices that are on until one of them stops; a step of the
; device that is off, or a go with every device off, does nothing
display off
asm p:0 inc a
asm p:1 jmp 0
change pc 0
break a==5
device dv1 73547
device dv1
asm p:$40 inc b
asm p:$41 jmp $40
change pc $40
device dv1 off
go
evaluate d cyc
device dv1
evaluate d cyc
step 3
evaluate d cyc
; a breakpoint's command switches its device off: the other runs on
device dv1 on
break b==2 x device dv1 off
device dv0
break #1 a==9
go
evaluate a
device dv1
device dv0
device dv0 off
go
evaluate d cyc
quit
