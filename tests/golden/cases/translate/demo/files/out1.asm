@@HEADER@@
 _N DW ?
@@CODESTART@@
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
@@EXIT@@
@@RUNTIME@@
