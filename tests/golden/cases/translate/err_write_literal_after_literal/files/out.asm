@@HEADER@@
 _A DW ?
@@CODESTART@@
  ;Начало оператора WRITE 
