@@HEADER@@
 _A DW ?
 _B DW ?
@@CODESTART@@
  ;Начало условного оператора IF 
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      pop     BX
      cmp     AX, BX
      jge _M0
      mov     AX, 1
      jmp     Skip0
 _M0:
      mov     AX, 0
 Skip0:
      cmp     AX, 1
      jne     L0
  ;Начало цикла WHILE 
L1:
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      pop     BX
      cmp     AX, BX
      jge _M1
      mov     AX, 1
      jmp     Skip1
 _M1:
      mov     AX, 0
 Skip1:
      cmp     AX, 1
      jne     L2
      MOV     AX, _A
      push    AX
      MOV     AX, 1
       pop     BX
       sub     AX, BX
      neg AX
      push    AX
      pop     AX
      mov     _A, AX
      jmp L1
L2:
  ;Конец цикла WHILE
L0:
  ;Конец условного оператора IF 
      MOV     AX, _A
      push    AX
      pop     AX
      mov     _B, AX
@@EXIT@@
@@RUNTIME@@
