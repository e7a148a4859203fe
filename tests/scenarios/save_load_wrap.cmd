#scratch
#file fill.lod: _DATA x 10 1
#file fill.lod: _blockdata p fffe 4 5a
#file fill.lod: _END
#file big.lod: _blockdata p 0 10001 1
#show: wr.lod
; A block that wraps past the top of its space is saved as one record
; and loads back, in text and in COFF form.
change x:$10 $99 p:$ffff $66 p:0 $77 p:1 $88
save x:$10 p:$ffff..$1 wr -o
save x:$10 p:$ffff..$1 wr.cld -o
change x:$10 0 p:$ffff 0 p:0 0 p:1 0
load wr
display x:$10 p:$ffff p:0..1
change x:$10 0 p:$ffff 0 p:0 0 p:1 0
load wr.cld
display x:$10 p:$ffff p:0..1
; A fill across the top goes on at address 0.
load fill
display x:$10 p:$fffd..$fffe p:$ffff p:0..2
; More words than the space holds are refused.
load big
