PROGRAM DIVIDE;
VAR A, B, Q : INTEGER;
BEGIN
  Q := 7 / 2;   WRITE(Q);
  A := -7;
  Q := A / 2;   WRITE(Q);
  B := -2;
  Q := 7 / B;   WRITE(Q);
  Q := A / B;   WRITE(Q);
  Q := 0 / 5;   WRITE(Q);
  Q := 6 / 3;   WRITE(Q);
  Q := 1 / 2;   WRITE(Q);
  A := -1;
  Q := A / 2;   WRITE(Q);
END.
