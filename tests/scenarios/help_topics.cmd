; topics, command help by help name and by abbreviation, listings
help nosuch
help int
help asm
help dis
help evaluate
help break
help port
help mem
help map
help io
help tio2
help hostio
