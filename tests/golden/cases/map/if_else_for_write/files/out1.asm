.model small
.386
.data
Result DB "000000$"
_msg0  db  "no","$" 
CR equ 0Dh
LF equ 0Ah
_bufrw          db   255  dup  (?)
_bufstr1        db   255  dup  (?)
kbBuffer        db 18 dup (?)
kbBufferLen     equ $ - kbBuffer
kbHandle        dw 0
 _A DW ?
 _B DW ?
 .stack 2000h
 .code
 main:
      mov     AX, @Data
      mov     DS, AX
      mov     ES, AX
      xor     AX, AX
  ;Начало оператора READ 
 mov ah, 3fh
 mov bx, 0
 lea dx, _bufrw
 mov cx,10
 int 21h
 mov SI,AX
 mov _bufrw[SI],13
 mov  di,offset  _bufrw
 call sl_atoi
 mov  _A,ax
  ;Конец оператора READ 
  ;Начало условного оператора IF 
      MOV     AX, _A
      push    AX
      MOV     AX, 1
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
      mov     _B, AX
      jmp L1
L0:
  ;Начало оператора WRITE 
 push ax
 mov dx, offset  _msg0
 call Write
 pop ax
 push ax
 mov ax, _A
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
  ;Конец оператора WRITE 
L1:
  ;Конец условного оператора IF 
  ;Начало цикла FOR 
      MOV     AX, 1
    MOV  _B, AX
    dec  _B
L2:
      MOV     AX, _A
    MOV   BX, AX
    MOV   AX, _B
    INC   AX
    MOV  _B,AX
    cmp   AX, BX
    jg   L3
  ;Начало оператора WRITE 
 push ax
 mov ax, _B
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
  ;Конец оператора WRITE 
      jmp L2
L3:
  ;Конец цикла FOR
 Quit:
      mov AX, 4C00h
      Int 21h
@@RUNTIME@@
