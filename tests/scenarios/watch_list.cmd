change r0 $12 x:0 $fffe y0 $7
watch r0
watch x:0
watch #1 off
watch y0
watch
watch h r0+x:0
watch #9 b x:0
watch #3 d x:0
watch u x:0
watch f 0.25
watch $12345
watch h 1+2+3+4+5+6+7+8+9+10+11+12+13+14+15+16+17+18
watch #2
watch #3 off
watch r1
watch
watch #300 r0
watch b r0 r1
watch {1+f(2)}
watch #8 h -0.5
watch #8
watch off
watch
wait 0
wait 1
where
frame #1
