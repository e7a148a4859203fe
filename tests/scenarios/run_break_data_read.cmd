; dr and drw stop a run at a read that returns a word other than the one
; the previous read of that address returned (before the first read: the
; word there when the run started). The loop reads x:$10 and x:$20, then
; writes a new value to x:$10 (a1, one more each time); x:$20 never changes
display off
change r0 $10 r1 $10 r2 $20 x:$10 $5 a1 $7 y1 1 pc 0
asm p:0 move x:(r0),x0
asm p:1 move x:(r2),y0
asm p:2 add y1,a
asm p:3 move a,x:(r1)
asm p:4 jmp 0
break dr x:$20
break dr x:$10
go
evaluate h x0
evaluate d cyc
go
evaluate h x0
evaluate d cyc
; a block, reads or writes
break #2 d
break drw x:$0..$1f
go
evaluate h x0
; a noting dr reports each changed read; the write breakpoint stops
break off
break dr x:$10 n
break w x:$10
go
go
quit
