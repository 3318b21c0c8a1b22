PROGRAM PREC;
VAR A, B, C, D, E, F, G : INTEGER;
BEGIN
  A := 2 + 3 * 4;
  B := (2 + 3) * 4;
  C := 20 - 6 - 4;
  D := 100 / 10 / 5;
  E := 2 * 3 + 4 * 5;
  F := 7 - 2 * 3;
  G := 2 * (3 + 4) * 5 - 60 / (2 + 4);
  WRITE(A, B, C, D, E, F, G);
END.
