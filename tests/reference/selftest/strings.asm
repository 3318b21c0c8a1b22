.model small
.386
.data
Result DB "000000$"
_msg0  db  "A""b",13,10,"x","$" 
_msg1  db  "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789"
        db  "ABCD","$" 
_str0  db  "$" 
CR equ 0Dh
LF equ 0Ah
_bufrw          db   255  dup  (?)
_bufstr1        db   255  dup  (?)
kbBuffer        db 18 dup (?)
kbBufferLen     equ $ - kbBuffer
kbHandle        dw 0
 _I DW ?
 _K DW ?
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
  ;Начало оператора READ 
 mov ah, 3fh
 mov bx, 0
 lea dx, _bufrw
 mov cx,254
 int 21h
 mov SI,AX
 mov _bufrw[SI],"$"
 lea SI,_bufrw
 lea DI, _T
 cld
 mov CX, 255
 rep movsb
 mov SI, 255
 mov _T[SI],"$"
  ;Конец оператора READ 
      MOV     AX, 7
      neg AX
      push    AX
      pop     AX
      mov     _K, AX
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
 lea DI,_S
 cld
 mov CX, 255
 rep movsb
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
  ;Начало цикла FOR 
      MOV     AX, 1
    MOV  _I, AX
    dec  _I
L0:
      MOV     AX, 3
    MOV   BX, AX
    MOV   AX, _I
    INC   AX
    MOV  _I,AX
    cmp   AX, BX
    jg   L1
  ;Начало условного оператора IF 
      MOV     AX, _I
      push    AX
      MOV     AX, 2
      pop     BX
      cmp     AX, BX
      je _M0
      mov     AX, 0
      jmp     Skip0
 _M0:
      mov     AX, 1
 Skip0:
      cmp     AX, 1
      jne     L2
  ;Начало оператора WRITE 
 push ax
 mov ax, _I
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
  ;Конец оператора WRITE 
      jmp L3
L2:
  ;Начало оператора WRITE 
 push ax
 mov ax, _K
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
  ;Конец оператора WRITE 
L3:
  ;Конец условного оператора IF 
      jmp L0
L1:
  ;Конец цикла FOR
  ;Начало оператора WRITE 
 push ax
 mov dx, offset  _msg1
 call Write
 pop ax
  ;Конец оператора WRITE 
 Quit:
      mov AX, 4C00h
      Int 21h
@@RUNTIME@@
