; a register or memory word shown as a fraction is still an address: the
; radix is only how it is shown
change r0 $11 x:$11 $22 x:$22 $4000
radix f r0
evaluate r0
evaluate h x:r0
radix f x:$11
evaluate x:$11
evaluate h x:x:$11
evaluate f x:x:$11
evaluate h x:(r0)
evaluate h x:0.5
quit
