#scratch
; Memory blocks to COFF files and back, with and without their symbols.
change p:$10 $aa p:$17 $bb x:3 $1234 pc 0
save p:$10..$17 x:0..3 prog.cld
change p:$10 0 p:$17 0 x:3 0
load m prog.cld
display p:$10 p:$17 x:3
evaluate pc
change p:$10 0
load prog.cld
display p:$10
; Saved files carry no symbols.
load d prog.cld
; Sections added to an existing file load with the old ones.
change p:$20 $cc
save p:$20 prog.cld -a
change p:$10 0 p:$20 0
load m prog.cld
display p:$10 p:$20
evaluate pc
; A text file has no debug information.
save p:0 notcoff
load m notcoff.lod
load d notcoff.lod
load d missing
