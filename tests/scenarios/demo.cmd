#args: ../../demo/fir.cmd
