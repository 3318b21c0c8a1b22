 Quit:
      mov AX, 4C00h
      Int 21h
