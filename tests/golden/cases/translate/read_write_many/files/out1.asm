@@HEADER@@
 _A DW ?
 _B DW ?
 _C DW ?
 _D DW ?
 _E DW ?
 _F DW ?
 _G DW ?
 _H DW ?
 _I DW ?
 _J DW ?
 _K DW ?
 _COUNTERVALUE DW ?
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
 mov  _COUNTERVALUE,ax
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
 mov ah, 3fh
 mov bx, 0
 lea dx, _bufrw
 mov cx,10
 int 21h
 mov SI,AX
 mov _bufrw[SI],13
 mov  di,offset  _bufrw
 call sl_atoi
 mov  _C,ax
 mov ah, 3fh
 mov bx, 0
 lea dx, _bufrw
 mov cx,10
 int 21h
 mov SI,AX
 mov _bufrw[SI],13
 mov  di,offset  _bufrw
 call sl_atoi
 mov  _D,ax
 mov ah, 3fh
 mov bx, 0
 lea dx, _bufrw
 mov cx,10
 int 21h
 mov SI,AX
 mov _bufrw[SI],13
 mov  di,offset  _bufrw
 call sl_atoi
 mov  _E,ax
 mov ah, 3fh
 mov bx, 0
 lea dx, _bufrw
 mov cx,10
 int 21h
 mov SI,AX
 mov _bufrw[SI],13
 mov  di,offset  _bufrw
 call sl_atoi
 mov  _F,ax
 mov ah, 3fh
 mov bx, 0
 lea dx, _bufrw
 mov cx,10
 int 21h
 mov SI,AX
 mov _bufrw[SI],13
 mov  di,offset  _bufrw
 call sl_atoi
 mov  _G,ax
 mov ah, 3fh
 mov bx, 0
 lea dx, _bufrw
 mov cx,10
 int 21h
 mov SI,AX
 mov _bufrw[SI],13
 mov  di,offset  _bufrw
 call sl_atoi
 mov  _H,ax
 mov ah, 3fh
 mov bx, 0
 lea dx, _bufrw
 mov cx,10
 int 21h
 mov SI,AX
 mov _bufrw[SI],13
 mov  di,offset  _bufrw
 call sl_atoi
 mov  _I,ax
 mov ah, 3fh
 mov bx, 0
 lea dx, _bufrw
 mov cx,10
 int 21h
 mov SI,AX
 mov _bufrw[SI],13
 mov  di,offset  _bufrw
 call sl_atoi
 mov  _J,ax
 mov ah, 3fh
 mov bx, 0
 lea dx, _bufrw
 mov cx,10
 int 21h
 mov SI,AX
 mov _bufrw[SI],13
 mov  di,offset  _bufrw
 call sl_atoi
 mov  _K,ax
  ;Конец оператора READ 
  ;Начало оператора WRITE 
 push ax
 mov ax, _K
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
 push ax
 mov ax, _J
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
 push ax
 mov ax, _I
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
 push ax
 mov ax, _H
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
 push ax
 mov ax, _G
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
 push ax
 mov ax, _F
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
 push ax
 mov ax, _E
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
 push ax
 mov ax, _D
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
 push ax
 mov ax, _C
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
 push ax
 mov ax, _A
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
 push ax
 mov ax, _COUNTERVALUE
 mov di, offset result
 call ToOct
 mov dx, offset result
 call Write
 pop ax
  ;Конец оператора WRITE 
@@EXIT@@
@@RUNTIME@@
