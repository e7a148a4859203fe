#cld a.asm a.cld
#cld a.asm data.cld
#cld a.asm syms.cld
# a.cld: headers, 5 program words at bytes 244-263, line records, the
# symbol table at bytes 324-611, the string table's length word.
#cut data.cld 250
#cut syms.cld 400
#file a.asm: main:                    ; function
#file a.asm: 	move #1,x0
#file a.asm: 	move #2,x1
#file a.asm: 	nop
#file a.asm: 	jmp main             ; }
; Damaged COFF programs: one cut in its program words, one in its symbols.
load a.cld
change p:$40 0 pc 0
; A program cut in its words is refused whole: memory, pc and symbols stay.
load data.cld
display p:$40..$44
evaluate pc
evaluate main
load m data.cld
; Cut in its symbol table: the program loads, its symbols do not, and the
; old program's symbols are gone.
load syms.cld
display p:$40..$44
evaluate pc
evaluate main
load d syms.cld
