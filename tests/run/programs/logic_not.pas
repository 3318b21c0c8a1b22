PROGRAM NOTS;
VAR A, B, X, Z : INTEGER;
BEGIN
  A := 3;
  B := 3;
  Z := 0;
  X := NOT (A = B);   WRITE(X);
  X := NOT (A <> B);  WRITE(X);
  X := NOT A < B;     WRITE(X);
  X := NOT A;         WRITE(X);
  X := NOT Z;         WRITE(X);
  X := NOT A = B AND NOT Z;  WRITE(X);
  IF NOT (A = B) THEN WRITE(A) ELSE WRITE(Z);
  IF NOT (A < B) THEN WRITE(A) ELSE WRITE(Z);
END.
