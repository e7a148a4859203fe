; The code of squares.c as a C compiler for the DSP73500 lays it out:
; "@N" gives the line of squares.c whose code starts there (one line
; record per line; the instructions after it belong to the same line).
; The test helper make_test_cld turns it into squares.cld, with the
; symbols, the line numbers and the initialised table; the test
; demo.c_debug checks that the file in the repository is what it makes.
; Data: table at x:$100, total at x:$104, count at x:$105; the C stack
; grows upward from x:$200, addressed by r2; results come back in a.
; file squares.c
; data $100 1 2 3 4
; sym Ftable 0x100 1 2 0x34 2 aux 0 0 4 4
; sym Ftotal 0x104 1 2 4 2
; sym Fcount 0x105 1 2 4 2
square:                 ; function @8
; sym Fn -2 1 -1 4 9
        move r0,x:(r2)+ ; no line
        move x:(r2-2),x0 ; { @9
        impy x0,x0,a    ; no line
        move x:-(r2),r0 ; @10
        rts             ; } no line
main:                   ; function @13
        move #0,x0      ; { @14
        move x0,x:$104  ; no line
        move #$100,r3   ; @15
        move x0,x:$105  ; no line
body:   move x:(r3)+,x0 ; @16
        move x0,x:(r2)+ ; no line
        jsr square      ; no line
        move (r2)-      ; no line
        move x:$104,x0  ; no line
        add x0,a        ; no line
        move a1,x:$104  ; no line
        move x:$105,a   ; @15
        inc24 a         ; no line
        move a1,x:$105  ; no line
        move #4,x0      ; no line
        cmp x0,a        ; no line
        blt body        ; no line
idle:   bra idle        ; @17
                        ; } @19
start:                  ; no line
        move #$200,r2   ; no line
        jsr main        ; no line
