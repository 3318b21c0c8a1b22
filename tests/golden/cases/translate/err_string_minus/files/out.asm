@@HEADER@@
 _S DB  256 dup (?)
 _T DB  256 dup (?)
 _U DB  256 dup (?)
@@CODESTART@@
 lea SI,_T
 lea DI,_bufstr1
 cld
 mov CX, 255
 rep movsb
 mov _bufstr1[254],"$"
 lea SI,_bufstr1
 lea DI,_S
 cld
 mov CX, 255
 rep movsb
