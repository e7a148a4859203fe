; outer begins
macros/inner
; outer goes on after the inner macro
