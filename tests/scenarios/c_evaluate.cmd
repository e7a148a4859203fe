; C expressions in braces: values of each kind, in a radix or by type.
evaluate {1 + 2}
evaluate {100000}
evaluate {40000u}
evaluate {'A'}
evaluate {(char)10}
evaluate {$pc}
evaluate h {$pc + 1}
evaluate {sizeof(long)}
evaluate {sizeof(double) * 3}
evaluate {1.5 * -2}
evaluate {(int)2.75 % 2}
evaluate b {(unsigned)-1 >> 12}
evaluate f {-16384}
evaluate {(-32767 - 1) / -1}
; Run-time and type-check errors.
evaluate {7 / 0}
evaluate {7 % (2 - 2)}
evaluate {7.0 / 0}
evaluate {$x0 + }
evaluate {$pc # 2}
evaluate {1 = 2}
evaluate u {$x0}
; A register changed through an assignment.
evaluate {$x0 = 0x1234}
change r1 0
evaluate {$r1 += 3}
; A C condition stops a run.
change pc 0
change r1 0
asm p:0 move x:(r1)+,x0
asm p:1 jmp 0
break {(int)$r1 == 6}
break
go
evaluate {$r1}
break #1 {$r1 > (unsigned *)9 && $x0 == 0}
go
evaluate {$r1}
break {f(2)}
