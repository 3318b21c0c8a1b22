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
 Write proc
      pusha
      mov     AH, 09h
      int     21h
      popa
      ret
 Write endp
 ToOct   Proc
        pusha
        mov     BX, 10
        push    -1
        cmp     AX, 0
        jge     ToOctLoop1
        neg     AX
        mov     byte ptr [DI], "-"
        inc     DI
 ToOctLoop1:
       mov     DX, 0
       div     BX
       push    DX
       or      AX, AX
       jne     ToOctLoop1
 ToOctLoop2:
       pop     DX
       cmp     DX, -1
       je      ToOctDone
       add     DX, "0"
       mov     [DI], DL
       inc     DI
       jmp     ToOctLoop2
 ToOctDone:
      mov	byte ptr [DI], "$"
      mov	AH, 02
      mov	DL, 13
      int     21H
      mov	DL, 10
      int     21H
      popa
      ret
 ToOct   Endp
 sl_atoi         proc
 push    di
 call    sl_atoi2
 pop     di
 ret
 sl_atoi         endp
 sl_atoi2        proc
 push    cx
 push    dx
 xor     cx, cx
 mov     ah, ch
 cmp     byte ptr ds:[di],"-"
 jne     DoAtoI
 inc     di
 mov     ah, 1
 DoAtoI:         call    NAtoI
 jc      WasError
 cmp     ah, 0
 je      IsPositive
 neg     cx
 clc
 jmp     WasError
 IsPositive:     or      cx, cx
 clc
 jns     WasError
 stc
 WasError:       mov     ax, cx
 pop     dx
 pop     cx
 ret
 sl_atoi2        endp
 sl_atou         proc
 push    di
 call    sl_atou2
 pop     di
 ret
 sl_atou         endp
 sl_atou2        proc
 push    cx
 push    dx
 xor     cx, cx
 call    NAtoI
 mov     ax, cx
 pop     dx
 pop     cx
 ret
 sl_atou2        endp
 NAtoI           proc
 pushf
 cld
 lp:             mov     al, ds:[di]
 inc     di
 xor     al, "0"
 cmp     al, 10
 jae     NotDigit
 shl     cx, 1
 jc      Error
 mov     dx, cx
 shl     cx, 1
 jc      Error
 shl     cx, 1
 jc      Error
 add     cx, dx
 jc      Error
 add     cl, al
 adc     ch, 0
 jc      Error
 jmp     lp
 NotDigit:       popf
 clc
 ret
 Error:          popf
 stc
 ret
 NAtoI           endp
 end main
