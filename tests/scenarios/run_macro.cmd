macros/run_go
evaluate d ictr
quit
