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
