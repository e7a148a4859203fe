#file two.lod: _START X 0000 0000 0000 X
#file two.lod: _END 0000
#file two.lod: _DATA P 0000
#file two.lod:  1111 1111
#file two.lod: _END 0000
#file tail.lod: _DATA P 0010
#file tail.lod:  2222
#file tail.lod: _END 0010
#file tail.lod: _COMMENT kept
#show: two.lod
#show: tail.lod
; Appending keeps every record of a file that goes on past an end record.
load two
display p:0..1
change x:0 $33
save x:0..7 two -a
change p:0 0 p:1 0 x:0 0
load two
display p:0..1 x:0
; Text after the last end record is kept too: the blocks go after it.
save x:0 tail -a
change p:$10 0 x:0 0
load tail
display p:$10 x:0
