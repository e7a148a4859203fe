; an interrupt sequence whose second vector word has not arrived six
; instruction cycles after it started is abandoned: the program goes on
; and the request stays pending. The swi vector's first word reads
; external memory with the wait states of bcr, so p:9 is never reached
; and the swi is taken again after each program instruction; without wait
; states the sequence completes and the request is acknowledged
display off
change r0 $8000 pc 0
asm p:0 swi
asm p:1 inc a
asm p:2 jmp 1
asm p:8 move x:(r0),x0
asm p:9 inc b
step 8
evaluate h a
evaluate h b
evaluate d cyc
change bcr 0
step 4
evaluate h a
evaluate h b
quit
