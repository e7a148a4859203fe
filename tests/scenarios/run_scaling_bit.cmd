; sr bit S (scaling, $80): set when an accumulator goes onto the X data
; bus through a move form that asks for the check and bits 14 and 13 of
; the scaled value differ. a1 = $2000 through each form, then a nop: the
; first six check, the other three do not
display off
change r0 $10 n0 1
asm p:$0 move a,x:(r0)
asm p:$3 moves a,x:<$10
asm p:$6 tfr x0,b a,x:(r0)+
asm p:$9 mpy y0,x0,b a,x:(r0)+n0
asm p:$c move a,x:(r2+$5)
asm p:$f add x0,a a,x0
asm p:$12 move a,x0
asm p:$15 movep a,x:<<$ffe0
asm p:$18 movem a,p:(r0)
change a2 0 a1 $2000 a0 0 sr $0300 r0 $10 pc $0
step 2
evaluate h sr
change a2 0 a1 $2000 a0 0 sr $0300 r0 $10 pc $3
step 2
evaluate h sr
change a2 0 a1 $2000 a0 0 sr $0300 r0 $10 pc $6
step 2
evaluate h sr
change a2 0 a1 $2000 a0 0 sr $0300 r0 $10 pc $9
step 2
evaluate h sr
change a2 0 a1 $2000 a0 0 sr $0300 r0 $10 pc $c
step 2
evaluate h sr
change a2 0 a1 $2000 a0 0 sr $0300 r0 $10 pc $f
step 2
evaluate h sr
change a2 0 a1 $2000 a0 0 sr $0300 r0 $10 pc $12
step 2
evaluate h sr
change a2 0 a1 $2000 a0 0 sr $0300 r0 $10 pc $15
step 2
evaluate h sr
change a2 0 a1 $2000 a0 0 sr $0300 r0 $10 pc $18
step 2
evaluate h sr
; the check looks at the scaled value: scaled down, $4000 becomes $2000
; and $2000 becomes $1000; S stays set until cleared
change a2 0 a1 $4000 a0 0 sr $0700 r0 $10 pc $0
step 2
evaluate h sr
change a2 0 a1 $2000 a0 0 pc $0
step 2
evaluate h sr
change sr $0700 pc $0
step 2
evaluate h sr
quit
