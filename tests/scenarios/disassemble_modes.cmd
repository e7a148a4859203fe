; instructions placed word by word read back as text
change p:0 $0e10 p:1 $0010 p:2 0 p:3 $000f p:4 $0003 p:5 $013c p:6 $fffc p:7 $0134
change p:8 $1234 p:9 $0f05 p:10 $0a20 p:11 $1985 p:12 $0b03 p:13 $1500 p:14 $8900
disassemble p:0#13
display p:0..7
quit
