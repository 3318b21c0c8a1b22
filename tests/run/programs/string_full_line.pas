PROGRAM STRFULL;
VAR A, B, S : STRING;
BEGIN
  READ(A, B);
  S := A + B;
  WRITE(S);
  S := B + A;
  WRITE(S);
END.
