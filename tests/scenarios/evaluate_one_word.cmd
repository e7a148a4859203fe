evaluate $345
evaluate b $345
evaluate d $345
evaluate f $345
evaluate h $345
evaluate u $345
evaluate d $ffff
evaluate u $ffff
evaluate -1
evaluate $8000
evaluate d $8000
evaluate $7fff
evaluate 0
evaluate f $4000
evaluate 1+2*3
evaluate (1+2)*3
evaluate h pc
evaluate d m0
evaluate u m0
evaluate f x:$ffde
evaluate h 1+0.5
evaluate f 1+0.5
quit
