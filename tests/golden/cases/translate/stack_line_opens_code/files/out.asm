@@HEADER@@
 _A DW ?
 .stack 2000h
 .code
 main:
      mov     AX, @Data
      mov     DS, AX
      mov     ES, AX
      xor     AX, AX
