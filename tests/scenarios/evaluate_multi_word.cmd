evaluate $12345
evaluate h $12345
evaluate d $12345
evaluate u $12345
evaluate f $12345
evaluate b $12345
evaluate 100000
evaluate d $ffffffff
evaluate $80000000
evaluate f $00004000
evaluate x
evaluate $123456789a
evaluate -$123456789a
evaluate $ffffffffff
evaluate d $ffffffffff
evaluate h a
evaluate 0.5
evaluate -0.25
evaluate 1.5e2
evaluate 300.0
quit
