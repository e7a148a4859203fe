; Braced C expressions are not built yet: they say so.
evaluate {x+1}
evaluate h {count}
break {x > 2}
break {x} g
