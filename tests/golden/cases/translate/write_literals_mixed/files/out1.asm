.model small
.386
.data
Result DB "000000$"
_msg0  db  "A=B","$" 
_msg1  db  "Hithere","$" 
CR equ 0Dh
LF equ 0Ah
_bufrw          db   255  dup  (?)
_bufstr1        db   255  dup  (?)
kbBuffer        db 18 dup (?)
kbBufferLen     equ $ - kbBuffer
kbHandle        dw 0
 _A DW ?
 _B DW ?
@@CODESTART@@
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
 push ax
 mov ax, _B
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
  ;Конец оператора WRITE 
  ;Начало оператора WRITE 
 push ax
 mov ax, _A
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
  ;Конец оператора WRITE 
  ;Начало оператора WRITE 
 push ax
 mov dx, offset  _msg1
 call Write
 pop ax
  ;Конец оператора WRITE 
@@EXIT@@
@@RUNTIME@@
