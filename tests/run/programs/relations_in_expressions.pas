PROGRAM RELEXPR;
VAR A, B, X : INTEGER;
BEGIN
  A := 4;
  B := 6;
  X := A + 2 = B;       WRITE(X);
  X := A * 2 > B + 1;   WRITE(X);
  X := (A < B) + (B < A) + (A < B);   WRITE(X);
  X := A - B <= -2;     WRITE(X);
  X := -A >= -3;        WRITE(X);
END.
