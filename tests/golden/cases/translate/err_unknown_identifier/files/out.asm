@@HEADER@@
 _A DW ?
@@CODESTART@@
      MOV     AX, 1
      push    AX
      pop     AX
      mov     _A, AX
      MOV     AX, _A
      push    AX
