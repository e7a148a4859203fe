; the outer macro calls one with a bad line
macros/bad_line
; the outer macro never resumes
