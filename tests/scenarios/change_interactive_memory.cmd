; memory changed one address after the other; a failing answer is shown
; with its line and asked again; an empty line ends it and the lines after
; it are commands again
change x:$10
$1234
0.5
$g

evaluate h x:$11
