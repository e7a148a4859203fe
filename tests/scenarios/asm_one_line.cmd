; one line at a program address, read back word by word
asm p:$10 move #$12,x0
evaluate h p:$10
; a two-word instruction fills the next address too
asm p:$11 move #$1234,r0
evaluate h p:$11
evaluate h p:$12
; "*" is the instruction's own address: a branch to itself
asm p:$20 bra *
evaluate h p:$20
asm p:$21 jsr $1234
evaluate h p:$21
evaluate h p:$22
asm p:$23 add x0,a x:(r0)+,y0 x:(r3)+,x0
evaluate h p:$23
asm p:$24 bfset #$0ff0,x:(r0)
evaluate h p:$24
evaluate h p:$25
; upper-case mnemonics and operands
asm p:$26 MOVE X:(R2+5),A
evaluate h p:$26
evaluate h p:$27
; without an address the line goes to pc
evaluate h pc
asm move a,x0
evaluate h p:$e000
; into data memory
asm x:0 move r0,x0
evaluate h x:0
; byte wide: each word takes two addresses, low byte first
asm b p:$40 move a,x0
evaluate h p:$40
evaluate h p:$41
; a comment alone writes nothing
asm p:$30 nop
asm p:$30 ; nothing here
evaluate h p:$30
