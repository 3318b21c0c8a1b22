PROGRAM SIGNS;
VAR A, B, C, D, E, F, G : INTEGER;
BEGIN
  A := -5;
  B := -A;
  C := +7;
  D := -(3 - 10);
  E := -2 * 3;
  F := -2 + 3;
  G := -A * 4 - 1;
  WRITE(A, B, C, D, E, F, G);
END.
