@@HEADER@@
 _A DW ?
 _B DW ?
 _X DW ?
@@CODESTART@@
      MOV     AX, _A
      push    AX
      MOV     AX, 2
      push    AX
      MOV     AX, _B
      pop     BX
      imul     BX
      pop     BX
      add     AX, BX
      push    AX
      pop     AX
      mov     _X, AX
@@EXIT@@
@@RUNTIME@@
