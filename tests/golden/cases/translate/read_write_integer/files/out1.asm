@@HEADER@@
 _A DW ?
 _B DW ?
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
 mov  _A,ax
 mov ah, 3fh
 mov bx, 0
 lea dx, _bufrw
 mov cx,10
 int 21h
 mov SI,AX
 mov _bufrw[SI],13
 mov  di,offset  _bufrw
 call sl_atoi
 mov  _B,ax
  ;Конец оператора READ 
  ;Начало оператора WRITE 
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
  ;Конец оператора WRITE 
@@EXIT@@
@@RUNTIME@@
