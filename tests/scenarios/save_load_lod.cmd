#scratch
#show: prog.lod
#show: data.lod
#show: top.lod
; Memory blocks to ".lod" text and back.
change p:0 1 p:1 2 p:7 $1234 p:$40 $aa p:$47 $bb x:0 $ffff x:$20 7
save p:0..7 x:0..$20 prog
; Without a program block the end record has no address.
save x:0..$20 data
; A count past the top of the space stops at the top.
save p:$fffe#5 top
; Appending replaces the end record by the new blocks and a new one.
save p:$40..$47 prog -a
; An existing file is kept when the save is cancelled.
save p:10 prog -c
change p:0 0 p:1 0 p:7 0 p:$40 0 p:$47 0 x:0 0 x:$20 0 pc 5
load prog
display p:0..7 p:$40..$47 x:0 x:$20
evaluate pc
load nothere
save p:0..7
save p:0..7 prog -x
save p:0..7 prog -o more
