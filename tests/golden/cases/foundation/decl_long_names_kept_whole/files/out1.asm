@@HEADER@@
 _ABCDEFGHIJ DW ?
 _ABCDEFGHIK DW ?
 _ABCDEFGHIJKLMNOP DW ?
@@CODESTART@@
      MOV     AX, 7
      push    AX
      pop     AX
      mov     _ABCDEFGHIK, AX
@@EXIT@@
@@RUNTIME@@
