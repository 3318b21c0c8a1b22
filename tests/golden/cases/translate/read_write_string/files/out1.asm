@@HEADER@@
 _S DB  256 dup (?)
 _T DB  256 dup (?)
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
  ;Начало оператора WRITE 
 push ax
 mov dx, offset  _S
 call Write
 pop ax
 push ax
 mov dx, offset  _T
 call Write
 pop ax
  ;Конец оператора WRITE 
@@EXIT@@
@@RUNTIME@@
