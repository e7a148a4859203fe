; a block that wraps past the top of program memory, then listings that go on
change p:$ffff $0134 p:0 $1234 p:1 $0f05
disassemble p:$fffe..$2
disassemble p:$10#2
disassemble
disassemble x:$40#1
disassemble b x:5
quit
