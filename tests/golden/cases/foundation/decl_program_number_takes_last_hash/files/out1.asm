@@HEADER@@
 _X DW ?
 _W DW ?
@@CODESTART@@
      MOV     AX, _X
      push    AX
      pop     AX
      mov     _W, AX
@@EXIT@@
@@RUNTIME@@
