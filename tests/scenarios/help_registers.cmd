; bit diagrams: an ordinary register, an accumulator, a register pair, a
; bus-mapped register, and a register of a peripheral with a suffix
change sr $0345 a $12345678 x $8001
help sr
help a
help x
help ipr
help cra1
help reg
help periph
