#scratch
#files
; A second log p on a profiled device starts a new profile: the one
; running until then ends without its report, and the session says so.
; A profile on another device goes on and is written.
display off
asm p:$100 nop
change pc $100
log p first
step 3
device dv1 73521
device dv1
log p other
device dv0
log p second
step 2
log off p
device dv1
log off p
