PROGRAM DIVNEG;
VAR A, B, Q : INTEGER;
BEGIN
  A := -30000;
  Q := A / 7;     WRITE(Q);
  A := -32767;
  Q := A / 10;    WRITE(Q);
  B := -100;
  Q := A / B;     WRITE(Q);
  A := -32768;
  Q := A / 2;     WRITE(Q);
  Q := 32767 / B; WRITE(Q);
END.
