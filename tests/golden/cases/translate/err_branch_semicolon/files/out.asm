@@HEADER@@
 _A DW ?
@@CODESTART@@
  ;Начало условного оператора IF 
      MOV     AX, _A
      push    AX
      MOV     AX, 1
      pop     BX
      cmp     AX, BX
      je _M0
      mov     AX, 0
      jmp     Skip0
 _M0:
      mov     AX, 1
 Skip0:
      cmp     AX, 1
      jne     L0
