#file notes.log: kept from an earlier run
#file out.io: 0001
#show: notes.log
#show: out.io
; a command after an unexpected question is no answer, whatever letter it
; begins with: the file stays as it was and the command runs as written
log s notes
output #1 x:$20 out -a
save p:0 out.io
asm p:0 nop
save p:0 out.io
change x:$10 $1234
evaluate x:$10
; answers written out as words are still taken
log s notes
app
evaluate 1
log off
