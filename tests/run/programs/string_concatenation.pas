PROGRAM STRCAT;
VAR A, B, C : STRING;
BEGIN
  READ(A, B);
  C := A + B;
  WRITE(C);
  C := B + A + B;
  WRITE(C);
  A := A + A;
  WRITE(A);
END.
