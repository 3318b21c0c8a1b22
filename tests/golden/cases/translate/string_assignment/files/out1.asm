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
 lea SI,_T
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
 m_2:  mov BL,_U[SI]
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
 lea SI,_S
 lea DI,_bufstr1
 cld
 mov CX, 255
 rep movsb
 mov _bufstr1[254],"$"
 mov SI,0
 m_3:  cmp _bufstr1[si],"$"
 je  m_4
 inc  SI
 jmp  m_3
 m_4:  mov AX,255
 sub  AX,SI
 mov CX, AX
 mov DI,SI
 mov SI,0
 m_5:  mov BL,_T[SI]
 mov _bufstr1[DI],BL
 inc DI
 inc SI
 loop m_5
 mov _bufstr1[254],"$"
 mov SI,0
 m_6:  cmp _bufstr1[si],"$"
 je  m_7
 inc  SI
 jmp  m_6
 m_7:  mov AX,255
 sub  AX,SI
 mov CX, AX
 mov DI,SI
 mov SI,0
 m_8:  mov BL,_U[SI]
 mov _bufstr1[DI],BL
 inc DI
 inc SI
 loop m_8
 mov _bufstr1[254],"$"
 lea SI,_bufstr1
 lea DI,_U
 cld
 mov CX, 255
 rep movsb
 lea SI,_S
 lea DI,_bufstr1
 cld
 mov CX, 255
 rep movsb
 mov _bufstr1[254],"$"
 lea SI,_bufstr1
 lea DI,_T
 cld
 mov CX, 255
 rep movsb
@@EXIT@@
@@RUNTIME@@
