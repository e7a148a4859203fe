; overlapping copies read each word before it is overwritten
change x:0 1 x:1 2 x:2 3 x:3 4
copy x:0..3 x:2
display x:0#6
copy x:2..5 x:0
display x:0#6
copy x:1 p:$40
display p:$40
quit
