PROGRAM STRLONG;
VAR A, B, S : STRING;
BEGIN
  READ(A, B);
  S := A + A;
  WRITE(S);
  S := B + B + B;
  WRITE(S);
  S := S + A;
  WRITE(S);
END.
