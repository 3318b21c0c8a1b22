@@HEADER@@
 _I DW ?
 _J DW ?
 _X DW ?
@@CODESTART@@
  ;Начало цикла FOR 
      MOV     AX, _X
      push    AX
      MOV     AX, 1
       pop     BX
       sub     AX, BX
      neg AX
    MOV  _I, AX
    dec  _I
L0:
      MOV     AX, _X
      push    AX
      MOV     AX, 1
      pop     BX
      add     AX, BX
    MOV   BX, AX
    MOV   AX, _I
    INC   AX
    MOV  _I,AX
    cmp   AX, BX
    jg   L1
  ;Начало цикла FOR 
      MOV     AX, _I
    MOV  _J, AX
    dec  _J
L2:
      MOV     AX, 3
    MOV   BX, AX
    MOV   AX, _J
    INC   AX
    MOV  _J,AX
    cmp   AX, BX
    jg   L3
      MOV     AX, _J
      push    AX
      pop     AX
      mov     _X, AX
      jmp L2
L3:
  ;Конец цикла FOR
      MOV     AX, _X
      push    AX
      MOV     AX, _I
      pop     BX
      imul     BX
      push    AX
      pop     AX
      mov     _X, AX
      jmp L0
L1:
  ;Конец цикла FOR
@@EXIT@@
@@RUNTIME@@
