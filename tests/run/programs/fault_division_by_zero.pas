PROGRAM DIVZERO;
VAR A, Z : INTEGER;
BEGIN
  A := 5;
  WRITE(A);
  Z := 0;
  A := A / Z;
  WRITE(A);
END.
