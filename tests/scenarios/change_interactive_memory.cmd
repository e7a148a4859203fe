; memory changed one address after the other; a line holding Esc ends it
; and the lines after it are commands again
change x:$10
$1234
0.5

evaluate h x:$11
