; Source-level debugging of a small C program: demo/squares.c, made into
; demo/squares.cld (symbols, line numbers and the table's data). Run it
; from the repository's top folder; "path demo" makes demo the working
; folder, where the program and its source are found.
path demo
load squares.cld
display off
; Run to main, then step by source lines: over the loop's start, and
; into the call of square.
break main
go
next li
next li
step li
; The call stack with the arguments, the caller's frame and its values,
; the argument's type and where it lives.
where
up
evaluate {table[count]}
down
type {n}
evaluate {n}
; Back in main, with a watch of a C variable shown after each stop.
finish
watch {total}
next li
next 3 li
next 3 li
; Where the program is in the source, and the data.
list .
evaluate {table}
evaluate {total}
; Left to itself, main ends its loop after the fourth element and waits
; at idle.
break idle
go
evaluate {count}
evaluate {total}
quit
