#args: ../../demo/demo.cmd
