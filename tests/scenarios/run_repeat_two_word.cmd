; A repeated two-word instruction: three passes on pc $103, then the
; program goes on right after its second word, at $105. First on the
; fast engine (plain steps), then on a "73583" held to the cycle engine by
; a break on cyc.
display off
asm p:$102 rep #3
asm p:$103 move #>$1234,x0
asm p:$105 inc a
asm p:$106 inc b
change pc $102 a 0 b 0 x0 0
step
step
step
step
step
step
evaluate h x0
evaluate h a0
evaluate h b0
evaluate h lc
device dv1 73583
display off
asm p:$102 rep #3
asm p:$103 move x:>$1234,x0
asm p:$105 inc a
asm p:$106 inc b
change x:$1234 $55
break #1 cyc>=100000
change pc $102 a 0 b 0 x0 0
step
step
step
step
step
step
evaluate h x0
evaluate h a0
evaluate h b0
evaluate h lc
quit
