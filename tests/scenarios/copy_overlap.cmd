; overlapping copies read each word before it is overwritten
change x:0 1 x:1 2 x:2 3 x:3 4
copy x:0..3 x:2
display x:0#6
copy x:2..5 x:0
display x:0#6
copy x:1 p:$40
display p:$40
; blocks over the top of memory copy the old words too
change pe:$fffe $a pe:$ffff $b pe:0 $c pe:1 $d pe:2 $e
copy pe:$fffe..$2 pe:0
display pe:$fffe#5
change pe:$fffe $a pe:$ffff $b pe:0 $c pe:1 $d pe:2 $e
copy pe:0..$2 pe:$ffff
display pe:$fffe#5
quit
