@@HEADER@@
 _A DW ?
@@CODESTART@@
  ;Начало оператора WRITE 
 push ax
 mov ax, _A
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
  ;Конец оператора WRITE 
  ;Начало оператора WRITE 
