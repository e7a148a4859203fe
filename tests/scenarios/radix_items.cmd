evaluate h x:$ffde/3
radix f x:$ffde
evaluate h x:$ffde/3
evaluate f x:$ffde
radix h x:$ffde
evaluate h x:$ffde/3
radix f x:$ffd0..$ffdf
evaluate h x:$ffde/3
radix d x:$ffd0#16
evaluate h x:$ffde/3
radix f m2
evaluate h m2/3
radix h m2
evaluate h m2/3
radix f m0..m3
evaluate h m1/3
evaluate h m3/3
radix u m3..m0
evaluate h m1/3
radix f r0 x:$ffde m2
evaluate h x:$ffde/3
evaluate h m2/3
quit
