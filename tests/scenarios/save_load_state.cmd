#scratch
#file marked.sim: 708
#head: 60 fresh.sim
; a fresh state's file, a round trip, and files refused with nothing changed
; streams, redirections and logs come back with a loaded state
save s fresh
change x:$10 $1234 p:$20 $5678 r1 $34
break p:$20
save s busy.b -o
change x:$10 0 r1 0
load s busy.b
display x:$10 p:$20 r1
break
load s marked
load s missing
display x:$10 p:$20 r1
save s busy.b -c
output x0 term
redirect stdout out -o
log s sess -o
save s busy.b -o
output off
redirect off
log off s
output
redirect
log
load s busy.b
output
redirect
log
output off
quit
