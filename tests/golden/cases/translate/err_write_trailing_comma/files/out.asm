@@HEADER@@
 _A DW ?
 _B DW ?
@@CODESTART@@
  ;Начало оператора WRITE 
