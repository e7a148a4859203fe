where
where 0
where 2
where -2
frame
frame #0
frame #5
frame #-1
up
up 40000
up -1
down
down 3
down -1
type 5
type {5}
