; A first look at the simulator: the command language evaluates
; expressions and shows each value in every radix of the device.
evaluate $345
evaluate (3+4)*2
evaluate -1
evaluate 0.5
; "radix h" makes bare numbers hexadecimal; a backquote marks decimal.
radix h
evaluate 10
evaluate `10
evaluate d 1<<c
quit
