@@HEADER@@
 _A DW ?
@@CODESTART@@
      MOV     AX, 5
      push    AX
      pop     AX
      mov     _A, AX
@@EXIT@@
@@RUNTIME@@
