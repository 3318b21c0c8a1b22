@@HEADER@@
 _X DW ?
 _Y DW ?
@@CODESTART@@
  ;Начало цикла REPEAT 
L0:
  ;Начало цикла REPEAT 
L1:
      MOV     AX, _Y
      push    AX
      MOV     AX, 1
      pop     BX
      add     AX, BX
      push    AX
      pop     AX
      mov     _Y, AX
      MOV     AX, _Y
      push    AX
      pop     AX
      cmp     AX, 0
      je     L1
  ;Конец цикла REPEAT
      MOV     AX, _X
      push    AX
      MOV     AX, _Y
       pop     BX
       sub     AX, BX
      neg AX
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, _X
      push    AX
      pop     AX
      neg     AX
      sbb     AX, AX
      inc     AX
      cmp     AX, 0
      je     L0
  ;Конец цикла REPEAT
@@EXIT@@
@@RUNTIME@@
