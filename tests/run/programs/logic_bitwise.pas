PROGRAM BITS;
VAR A, B, X : INTEGER;
BEGIN
  A := 12;
  B := 10;
  X := A AND B;  WRITE(X);
  X := A OR B;   WRITE(X);
  X := 6 AND 3 OR 16;  WRITE(X);
  X := -1 AND 255;     WRITE(X);
END.
