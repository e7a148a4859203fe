; A C condition with a function's local name resolves it in the function
; where it was set: two functions each have a static i; after a load of
; another program the conditions still test as they did.
#cld a.asm a.cld
#cld b.asm b.cld
#file a.asm: f1:                      ; function static i x:$100
#file a.asm: 	move r2,x:(r0)
#file a.asm: 	move x:(r2)+,x0
#file a.asm: 	jmp f2               ; }
#file a.asm: f2:                      ; function static i x:$101
#file a.asm: 	move r2,x:(r3)
#file a.asm: 	jmp f1               ; }
#file b.asm: g1:                      ; function static j x:$101
#file b.asm: 	move r2,x:(r3)
#file b.asm: 	move x:(r2)+,x0
#file b.asm: 	jmp g2               ; }
#file b.asm: g2:                      ; function static i x:$100
#file b.asm: 	move r2,x:(r0)
#file b.asm: 	jmp g1               ; }
display off
load a.cld
change r0 $100 r3 $101 r2 0
break {i == 3}
change pc f2
evaluate {&i}
break {i == 5}
break
go
display x:$100..$101
break #1 d
go
display x:$100..$101
load b.cld
change r0 $100 r3 $101 r2 0 x:$100 0 x:$101 0
break #1 e
go
display x:$100..$101
break #1 d
go
display x:$100..$101
quit
