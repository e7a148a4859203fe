; first comment

;  {braces} and ${dollars$} kept as typed
quit
; never read
