; argument forms of streams, step, trace and go, and a break action changed
streams
streams d
streams
streams e
streams disable d
streams x
step 0
step -1
step h 5
step 2 in h x
trace 1 cy in
go #0
go :3 #1
break #3 p:$1 x evaluate d a0
break #3 n
break
; a run from an address, and a run after a reset that keeps the mode
display off
display on pc omr a0
change p:$10 $4a22 p:$11 $0003 p:$e000 $0003
go $10
change omr 1
go r
quit
