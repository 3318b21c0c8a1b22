PROGRAM NOELSE;
VAR A, B : INTEGER;
BEGIN
  READ(A);
  B := 0;
  IF A > 0 THEN B := A * 2;
  WRITE(B);
  READ(A);
  IF A > 0 THEN B := A * 2;
  WRITE(B);
END.
