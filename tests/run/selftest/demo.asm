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
