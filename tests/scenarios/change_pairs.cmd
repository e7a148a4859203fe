; registers and memory changed by value pairs, in each input radix
change r0 $1f r1 10 r2 %101 r3 `12
change x:0 $1f x:1 10 x:2 %101 x:3 -1 x:4 0.5 x:5 -0.25
radix h
change r1 1f x:6 ff
radix d
display r0..r3 x:0#7
change a 0.5 b -1 x $12345678
display a b x
change p:$2f..$301 7
change r0..r3 0 p:$30..$300 0 x:$10 $55 pc 100
display r3..r0 pc p:$2f..$31 p:$2ff..$301 x:$10
change r0 1 x:0
change x:0..3
quit
