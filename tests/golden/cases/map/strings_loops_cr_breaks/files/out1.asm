.model small
.386
.data
Result DB "000000$"
_msg0  db  "a","$" 
CR equ 0Dh
LF equ 0Ah
_bufrw          db   255  dup  (?)
_bufstr1        db   255  dup  (?)
kbBuffer        db 18 dup (?)
kbBufferLen     equ $ - kbBuffer
kbHandle        dw 0
 _S DB  256 dup (?)
 _T DB  256 dup (?)
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
  ;Начало цикла WHILE 
L0:
      MOV     AX, 1
      push    AX
      MOV     AX, 0
      pop     BX
      cmp     AX, BX
      je _M0
      mov     AX, 0
      jmp     Skip0
 _M0:
      mov     AX, 1
 Skip0:
      cmp     AX, 1
      jne     L1
 lea SI,_S
 lea DI,_bufstr1
 cld
 mov CX, 255
 rep movsb
 mov _bufstr1[254],"$"
 mov SI,0
 m_0:  cmp _bufstr1[si],"$"
 je  m_1
 inc  SI
 jmp  m_0
 m_1:  mov AX,255
 sub  AX,SI
 mov CX, AX
 mov DI,SI
 mov SI,0
 m_2:  mov BL,_T[SI]
 mov _bufstr1[DI],BL
 inc DI
 inc SI
 loop m_2
 mov _bufstr1[254],"$"
 lea SI,_bufstr1
 lea DI,_T
 cld
 mov CX, 255
 rep movsb
      jmp L0
L1:
  ;Конец цикла WHILE
  ;Начало цикла REPEAT 
L2:
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
      MOV     AX, 1
      push    AX
      MOV     AX, 1
      pop     BX
      cmp     AX, BX
      je _M1
      mov     AX, 0
      jmp     Skip1
 _M1:
      mov     AX, 1
 Skip1:
      cmp     AX, 0
      je     L2
  ;Конец цикла REPEAT
 Quit:
      mov AX, 4C00h
      Int 21h
@@RUNTIME@@
