display off
display on a sr
change p:$0 $4a22
change pc 0 a $00007fffffff
step
display a
change omr $12
change pc 0 a $00007fffffff
step
display a
change p:$0 $4a80
change omr 2
change pc 0 a 0 x0 $8000
step
display a
quit
