@@HEADER@@
 _X DW ?
@@CODESTART@@
      MOV     AX, 0
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, 7
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, 32767
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, 32768
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, 65535
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, 32768
      neg AX
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, 65535
      neg AX
      push    AX
      pop     AX
      mov     _X, AX
@@EXIT@@
@@RUNTIME@@
