; inner runs

   ; indented inner line
