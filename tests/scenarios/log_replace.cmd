#scratch
#show: keep.log
#files
; a log written again starts its file afresh;
; appending keeps the older lines; a cancelled open leaves the log closed
log s keep
; first log
log off s
log s keep -o
; second log, overwriting the first
log s keep -a
; appended to the second
log off s
log s keep -c
log
