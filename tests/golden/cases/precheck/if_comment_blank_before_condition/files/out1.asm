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
      MOV     AX, 1
      push    AX
      pop     AX
      mov     _A, AX
L0:
  ;Конец условного оператора IF 
@@EXIT@@
@@RUNTIME@@
