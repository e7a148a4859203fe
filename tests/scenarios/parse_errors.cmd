; a refused line is shown with the parser's message and is not run
wmemory
path +
wasm on
quit now
wregister win0 off
wasm off now
redirect stdin input -a
two words
; the session goes on after refused lines
quit
