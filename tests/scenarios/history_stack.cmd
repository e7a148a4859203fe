; nothing recorded at start; the stack looked at inside a subroutine keeps
; sp and raises no stack error; more than 32 instructions keep the last 32
history
asm p:0 move #1,x0
asm p:1 jsr $10
asm p:2 jmp 0
asm p:$10 move #2,x0
asm p:$11 rts
change pc 0
step 2
help stack
display sp pc sr ssh ssl
step 3
history
step 40
history
display ictr pc
