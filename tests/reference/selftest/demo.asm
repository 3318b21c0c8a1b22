.model small
.386
.data
Result DB "000000$"
CR equ 0Dh
LF equ 0Ah
_bufrw          db   255  dup  (?)
_bufstr1        db   255  dup  (?)
kbBuffer        db 18 dup (?)
kbBufferLen     equ $ - kbBuffer
kbHandle        dw 0
 _N DW ?
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
 mov  _N,ax
  ;Конец оператора READ 
      MOV     AX, _N
      push    AX
      MOV     AX, 1
      pop     BX
      add     AX, BX
      push    AX
      pop     AX
      mov     _N, AX
  ;Начало оператора WRITE 
 push ax
 mov ax, _N
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
  ;Конец оператора WRITE 
 Quit:
      mov AX, 4C00h
      Int 21h
@@RUNTIME@@
