; reset d with and without a mode, reset s with a mode kept for later.
evaluate omr
reset d m1
evaluate omr
reset s m3
evaluate omr
reset d
evaluate omr
change p:3 5 pc $40
break p:5
reset s m0
evaluate omr
evaluate pc
evaluate p:3
break
reset d m9
reset x
reset d m1 m2
reset
