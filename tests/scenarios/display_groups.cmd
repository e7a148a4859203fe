; register groups shown at once, whatever their display modes
display ssi0 timer count
display off
display dsp
display
quit
