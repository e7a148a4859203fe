radix
radix h
radix
evaluate 10
evaluate `10
evaluate ff
radix b
radix
evaluate 101
evaluate `12
evaluate $1f
radix u
radix
evaluate 10
radix f
radix
radix d
radix
evaluate 10
quit
