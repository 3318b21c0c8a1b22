@@HEADER@@
 _A DW ?
 _B DW ?
 _X DW ?
@@CODESTART@@
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
      mov     _X, AX
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      pop     BX
      cmp     AX, BX
      jle _M1
      mov     AX, 1
      jmp     Skip1
 _M1:
      mov     AX, 0
 Skip1:
      mov     _X, AX
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      pop     BX
      cmp     AX, BX
      jge _M2
      mov     AX, 1
      jmp     Skip2
 _M2:
      mov     AX, 0
 Skip2:
      mov     _X, AX
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      pop     BX
      cmp     AX, BX
      jl _M3
      mov     AX, 1
      jmp     Skip3
 _M3:
      mov     AX, 0
 Skip3:
      mov     _X, AX
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      pop     BX
      cmp     AX, BX
      jg _M4
      mov     AX, 1
      jmp     Skip4
 _M4:
      mov     AX, 0
 Skip4:
      mov     _X, AX
      MOV     AX, _A
      push    AX
      MOV     AX, _B
      pop     BX
      cmp     AX, BX
      jne _M5
      mov     AX, 0
      jmp     Skip5
 _M5:
      mov     AX, 1
 Skip5:
      mov     _X, AX
@@EXIT@@
@@RUNTIME@@
