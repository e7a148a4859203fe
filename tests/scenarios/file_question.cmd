#file saved.cmd: save s st
#files
; an output file that exists, with no option: the script's next line
; answers the question, and the question and that line are in the session
save s st
save s st
o
; a line that is no answer cancels the command and then runs
save s st
evaluate 1
evaluate 2
; from a macro the answer is the next line of the script as well
saved
a
log s sess
log off
log s sess
c
log
