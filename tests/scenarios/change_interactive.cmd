; registers changed one after the other, one answer a line: a failing
; answer is shown and asked again, an empty line ends the change and the
; lines after it are commands again
change r0
$300
1+
$10

evaluate h r1
