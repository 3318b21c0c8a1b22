@@HEADER@@
 _A DW ?
 _B DW ?
 _C DW ?
 _X DW ?
@@CODESTART@@
      MOV     AX, _A
      push    AX
      MOV     AX, _B
       pop     BX
       sub     AX, BX
      neg AX
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      mov     BX,AX
      pop     AX
      cwd
      idiv     BX
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      push    AX
      MOV     AX, _C
      pop     BX
      imul     BX
      push    AX
      MOV     AX, 2
      mov     BX,AX
      pop     AX
      cwd
      idiv     BX
       pop     BX
       sub     AX, BX
      neg AX
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, 5
      neg AX
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, _A
      neg AX
      push    AX
      MOV     AX, _B
      pop     BX
      imul     BX
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, _A
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      pop     BX
      add     AX, BX
      push    AX
      pop     AX
      neg AX
      push    AX
      pop     AX
      mov     _X, AX
      MOV     AX, _A
      push    AX
      pop     AX
      push    AX
      pop     AX
      mov     _X, AX
@@EXIT@@
@@RUNTIME@@
