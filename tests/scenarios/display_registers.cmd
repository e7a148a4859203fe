; the register display as it stands after start-up, in the display radixes
display
radix d r0
radix f x0
radix u m0
change r0 -2 x0 0.5 m0 $ffff
display
; shown now without their modes changing
display r0 x0 m0
display off
display
display on r0 x0
display
display v
display v x
quit
