PROGRAM LOGIC;
VAR A, B, X : INTEGER;
BEGIN
  A := 1;
  B := 2;
  X := A < B AND B > A;  WRITE(X);
  X := A < B AND B < A;  WRITE(X);
  X := A > B AND B > A;  WRITE(X);
  X := A > B AND B < A;  WRITE(X);
  X := A < B OR B > A;   WRITE(X);
  X := A < B OR B < A;   WRITE(X);
  X := A > B OR B > A;   WRITE(X);
  X := A > B OR B < A;   WRITE(X);
  X := A = 1 OR A = 2 AND B = 3;   WRITE(X);
  X := A = 2 AND B = 2 OR A = 1;   WRITE(X);
END.
