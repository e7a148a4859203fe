; registers changed one after the other, the rest of the input answering
change pc

$300
1+
$10
