@@HEADER@@
 _S DB  256 dup (?)
@@CODESTART@@
 lea SI,_S
 lea DI,_bufstr1
 cld
 mov CX, 255
 rep movsb
 mov _bufstr1[254],"$"
