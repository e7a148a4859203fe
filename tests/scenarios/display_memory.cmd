; memory words in each display radix, four to a line
change x:0 $8000 x:1 $7fff x:2 1 x:3 $ffff x:4 $1234
display x:0#5
radix d x:0#5
display x:0#5
radix f x:0..4
display x:0..4
radix u x:0..4
display x:0..4
radix b x:0..4
display x:0..4
; shown by a plain display once switched on
display off
display on x:1..2 p:$e000
display
quit
