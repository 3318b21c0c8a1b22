@@HEADER@@
 _X DW ?
@@CODESTART@@
      MOV     AX, 1
      push    AX
      pop     AX
      mov     _X, AX
