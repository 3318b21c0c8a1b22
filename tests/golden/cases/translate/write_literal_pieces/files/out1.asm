.model small
.386
.data
Result DB "000000$"
_msg0  db  "Say ""hi""",10,"now","$" 
_msg1  db  "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789"
        db  "0123456789AB","$" 
CR equ 0Dh
LF equ 0Ah
_bufrw          db   255  dup  (?)
_bufstr1        db   255  dup  (?)
kbBuffer        db 18 dup (?)
kbBufferLen     equ $ - kbBuffer
kbHandle        dw 0
 _S DB  256 dup (?)
@@CODESTART@@
  ;Начало оператора READ 
 mov ah, 3fh
 mov bx, 0
 lea dx, _bufrw
 mov cx,254
 int 21h
 mov SI,AX
 mov _bufrw[SI],"$"
 lea SI,_bufrw
 lea DI, _S
 cld
 mov CX, 255
 rep movsb
 mov SI, 255
 mov _S[SI],"$"
  ;Конец оператора READ 
  ;Начало оператора WRITE 
 push ax
 mov dx, offset  _msg0
 call Write
 pop ax
 push ax
 mov dx, offset  _S
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
