#file f.txt: kept from an earlier run
#file s.log: an earlier session
#file st.sim: an earlier state
#show: f.txt
#show: s.log
; a script that did not expect the question goes on as written: each line
; after a question cancels it and runs, so the run below stops
output x:$31 f.txt
break cyc>=100
log s s
break
save s st
go
evaluate 2
