; A timer interrupt with a long handler (a jsr at its vector) taken while
; next, next by lines and finish run: the handler runs inside the step,
; and each ends where it would without the interrupt. Standing at the
; vector, next runs the handler and ends where the program goes on.
; First on the fast engine's stops (an address breakpoint), then on a
; second device whose "pc" breakpoint holds it to the cycle engine.
#file irq.asm: main:                   ; function
#file irq.asm:         inc a           ; {
#file irq.asm:         jsr twice
#file irq.asm:         inc a
#file irq.asm:         jmp main        ; }
#file irq.asm: twice:                  ; function
#file irq.asm:         nop             ; {
#file irq.asm:         inc b
#file irq.asm:         nop
#file irq.asm:         rts             ; }
#cld irq.asm irq.cld
load irq.cld
display off
asm p:$20 jsr $200
asm p:$200 lea (r3)+,r3
asm p:$201 rti
change sr 0 a 0 b 0 r3 0 ipr $4000 tpr 40 tcr $8200
next 100 in
evaluate d a
evaluate d r3
next 30 li
evaluate d a
evaluate d r3
break p:$20
go
break off
next
next 3 in
step 4
finish
evaluate d r3
device dv1 73521
device dv1
load irq.cld
display off
asm p:$20 jsr $200
asm p:$200 lea (r3)+,r3
asm p:$201 rti
change sr 0 a 0 b 0 r3 0 ipr $4000 tpr 40 tcr $8200
next 100 in
evaluate d a
evaluate d r3
next 30 li
evaluate d a
evaluate d r3
break pc==$20
go
break off
next
next 3 in
quit
