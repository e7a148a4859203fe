#scratch
#show: session1.log
#show: session1.cmd
#files
; a session log and a command log; the interactive change at the end is
; logged as value pairs, and both logs are in place when the program ends
log
log s session1
log c session1
log
; comments reach both logs
evaluate $345
help nosuch
log p prof
log off c other
log c
log s
change pc
$20
