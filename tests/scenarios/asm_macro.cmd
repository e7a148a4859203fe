; the same bad line inside a macro
macros/asm_lines
evaluate h p:$50
evaluate h p:$51
