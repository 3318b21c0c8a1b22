PROGRAM DIVZ;
VAR A, B, C : INTEGER;
BEGIN
  A := 7;
  B := 0;
  C := A / B;
  WRITE(C);
END.
