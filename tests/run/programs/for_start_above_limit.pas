PROGRAM FORNONE;
VAR I, N : INTEGER;
BEGIN
  N := 0;
  FOR I := 5 TO 1 DO N := N + 1;
  WRITE(I, N);
  FOR I := 0 TO -1 DO N := N + 1;
  WRITE(I, N);
END.
