@@HEADER@@
 _A DW ?
 _B DW ?
 _C DW ?
 _X DW ?
@@CODESTART@@
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      push    AX
      pop     AX
       pop     BX
       and     AX, BX
      mov     _X, AX
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      push    AX
      pop     AX
       pop     BX
       or      AX, BX
      mov     _X, AX
      MOV     AX, _A
      push    AX
      pop     AX
      neg     AX
      sbb     AX, AX
      inc     AX
      mov     _X, AX
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      pop     BX
      cmp     AX, BX
      je _M0
      mov     AX, 0
      jmp     Skip0
 _M0:
      mov     AX, 1
 Skip0:
      push    AX
      pop     AX
      neg     AX
      sbb     AX, AX
      inc     AX
      mov     _X, AX
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      push    AX
      MOV     AX, _C
      push    AX
      pop     AX
      neg     AX
      sbb     AX, AX
      inc     AX
       pop     BX
       and     AX, BX
       pop     BX
       or      AX, BX
      mov     _X, AX
@@EXIT@@
@@RUNTIME@@
