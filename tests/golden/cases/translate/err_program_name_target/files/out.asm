@@HEADER@@
 _A DW ?
@@CODESTART@@
      MOV     AX, 1
      push    AX
      pop     AX
      mov     _A, AX
