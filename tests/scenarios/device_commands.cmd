; devices added, switched, taken out of runs, removed
device dv5
device
device dv1 73583
device dv1
display
device dv5 off
device
device dv5 on
device dv5 x
device dv1 x
device
device dv0 x
device dv32
device dv1 73599
device dv1 on x
quit
