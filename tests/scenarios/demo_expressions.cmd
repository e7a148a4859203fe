#args: ../../demo/expressions.cmd
