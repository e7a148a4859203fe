; memory changed one address after the other
change x:$10

$1234
0.5
