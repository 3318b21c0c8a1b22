PROGRAM MULT;
VAR A, B, P : INTEGER;
BEGIN
  A := -3;
  P := A * 4;      WRITE(P);
  B := -5;
  P := A * B;      WRITE(P);
  A := -200;
  P := A * 300;    WRITE(P);
  P := 181 * 181;  WRITE(P);
  P := 0 * B;      WRITE(P);
END.
