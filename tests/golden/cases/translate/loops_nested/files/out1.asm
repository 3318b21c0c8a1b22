@@HEADER@@
 _I DW ?
 _N DW ?
 _X DW ?
@@CODESTART@@
  ;Начало цикла WHILE 
L0:
      MOV     AX, _I
      push    AX
      MOV     AX, _N
      pop     BX
      cmp     AX, BX
      jle _M0
      mov     AX, 1
      jmp     Skip0
 _M0:
      mov     AX, 0
 Skip0:
      cmp     AX, 1
      jne     L1
  ;Начало условного оператора IF 
      MOV     AX, _X
      push    AX
      MOV     AX, 0
      pop     BX
      cmp     AX, BX
      je _M1
      mov     AX, 0
      jmp     Skip1
 _M1:
      mov     AX, 1
 Skip1:
      cmp     AX, 1
      jne     L2
      MOV     AX, 1
      mov     _X, AX
      jmp L3
L2:
  ;Начало условного оператора IF 
      MOV     AX, _X
      push    AX
      MOV     AX, 1
      pop     BX
      cmp     AX, BX
      je _M2
      mov     AX, 0
      jmp     Skip2
 _M2:
      mov     AX, 1
 Skip2:
      cmp     AX, 1
      jne     L4
      MOV     AX, 2
      mov     _X, AX
      jmp L5
L4:
      MOV     AX, 0
      push    AX
      pop     AX
      mov     _X, AX
L5:
  ;Конец условного оператора IF 
L3:
  ;Конец условного оператора IF 
      MOV     AX, _I
      push    AX
      MOV     AX, 1
      pop     BX
      add     AX, BX
      push    AX
      pop     AX
      mov     _I, AX
      jmp L0
L1:
  ;Конец цикла WHILE
  ;Начало цикла REPEAT 
L6:
  ;Начало цикла FOR 
      MOV     AX, 1
    MOV  _I, AX
    dec  _I
L7:
      MOV     AX, _N
    MOV   BX, AX
    MOV   AX, _I
    INC   AX
    MOV  _I,AX
    cmp   AX, BX
    jg   L8
      MOV     AX, _X
      push    AX
      MOV     AX, _I
      pop     BX
      add     AX, BX
      push    AX
      pop     AX
      mov     _X, AX
      jmp L7
L8:
  ;Конец цикла FOR
      MOV     AX, _N
      push    AX
      MOV     AX, 1
       pop     BX
       sub     AX, BX
      neg AX
      push    AX
      pop     AX
      mov     _N, AX
      MOV     AX, _X
      push    AX
      MOV     AX, _N
      pop     BX
      cmp     AX, BX
      jge _M3
      mov     AX, 1
      jmp     Skip3
 _M3:
      mov     AX, 0
 Skip3:
      cmp     AX, 0
      je     L6
  ;Конец цикла REPEAT
@@EXIT@@
@@RUNTIME@@
