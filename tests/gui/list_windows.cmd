asm p:$100 jsr $200
asm p:$200 nop
change pc $100
break p:$200
break #`2 x:$10 s
break #`2 d
input #3 x:$11 list_windows.cmd
wbreakpoint
wstack
wcalls
winput
woutput
wlist list_windows.cmd
wlist win2 list_windows.cmd
step
where
break #`2 e
break
input
wlist win2 off
wlist off
wbreakpoint off
wstack off
wstack off
wcalls off
winput off
woutput off
input off
quit
