PROGRAM FORNEST;
VAR I, J, A, S : INTEGER;
BEGIN
  A := 2;
  S := 0;
  FOR I := A - 1 TO A * 2 DO
    FOR J := I TO A + 1 DO
      S := S + 1;
  WRITE(S);
  FOR I := 1 TO 3 DO IF I = 2 THEN WRITE(I) ELSE WRITE(A);
END.
