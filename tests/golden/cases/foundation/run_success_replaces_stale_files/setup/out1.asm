stale out1.asm line 1
stale out1.asm line 2
stale out1.asm line 3
