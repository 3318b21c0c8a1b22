.model small
.386
.data
Result DB "000000$"
_msg0  db  "Total","$" 
_msg1  db  "Done","$" 
CR equ 0Dh
LF equ 0Ah
_bufrw          db   255  dup  (?)
_bufstr1        db   255  dup  (?)
kbBuffer        db 18 dup (?)
kbBufferLen     equ $ - kbBuffer
kbHandle        dw 0
 _A DW ?
 _T DW ?
@@CODESTART@@
      MOV     AX, 5
      push    AX
      pop     AX
      mov     _A, AX
  ;Начало условного оператора IF 
      MOV     AX, _A
      push    AX
      MOV     AX, 0
      pop     BX
      cmp     AX, BX
      jge _M0
      mov     AX, 1
      jmp     Skip0
 _M0:
      mov     AX, 0
 Skip0:
      cmp     AX, 1
      jne     L0
      MOV     AX, _A
      push    AX
      pop     AX
      mov     _T, AX
L0:
  ;Конец условного оператора IF 
  ;Начало оператора WRITE 
 push ax
 mov dx, offset  _msg0
 call Write
 pop ax
 push ax
 mov ax, _T
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
  ;Конец оператора WRITE 
  ;Начало цикла WHILE 
L1:
      MOV     AX, _A
      push    AX
      MOV     AX, 3
      pop     BX
      cmp     AX, BX
      jge _M1
      mov     AX, 1
      jmp     Skip1
 _M1:
      mov     AX, 0
 Skip1:
      cmp     AX, 1
      jne     L2
  ;Начало условного оператора IF 
      MOV     AX, _A
      push    AX
      MOV     AX, 0
      pop     BX
      cmp     AX, BX
      jge _M2
      mov     AX, 1
      jmp     Skip2
 _M2:
      mov     AX, 0
 Skip2:
      cmp     AX, 1
      jne     L3
      MOV     AX, _A
      push    AX
      MOV     AX, 1
       pop     BX
       sub     AX, BX
      neg AX
      push    AX
      pop     AX
      mov     _A, AX
L3:
  ;Конец условного оператора IF 
      jmp L1
L2:
  ;Конец цикла WHILE
  ;Начало оператора WRITE 
 push ax
 mov dx, offset  _msg1
 call Write
 pop ax
  ;Конец оператора WRITE 
@@EXIT@@
@@RUNTIME@@
