; the interactive assembler reads its answers from the following lines:
; a changed text is assembled and logged as a one-line asm command, the
; same text keeps the instruction and steps over it, a line that fails is
; shown and offered again, and an empty line leaves the assembler
change p:$61 $0134
change p:$62 $1234
asm p:$60
move #$12,x0
jmp >$1234
bogus
nop

evaluate h p:$63
