; before the bad line
wasm off now
; never run
