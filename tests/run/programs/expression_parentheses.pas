PROGRAM PARENS;
VAR A, B, X : INTEGER;
BEGIN
  A := 3;
  X := ((((1 + 2) * 3) - 4) / 5);
  WRITE(X);
  X := (A);
  WRITE(X);
  B := (A + (A * (A - (A / 3))));
  WRITE(B);
  X := -(-(A));
  WRITE(X);
END.
