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
      MOV     AX, _B
      push    AX
      pop     AX
      mov     _A, AX
      MOV     AX, 0
      push    AX
      pop     AX
      mov     _B, AX
      jmp L1
L0:
  ;Начало условного оператора IF 
      MOV     AX, _B
      push    AX
      MOV     AX, _A
      pop     BX
      cmp     AX, BX
      jg _M1
      mov     AX, 1
      jmp     Skip1
 _M1:
      mov     AX, 0
 Skip1:
      cmp     AX, 1
      jne     L2
      MOV     AX, _A
      mov     _B, AX
      jmp L3
L2:
      MOV     AX, _B
      push    AX
      pop     AX
      mov     _A, AX
L3:
  ;Конец условного оператора IF 
L1:
  ;Конец условного оператора IF 
@@EXIT@@
@@RUNTIME@@
