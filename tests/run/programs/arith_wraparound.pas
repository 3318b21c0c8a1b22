PROGRAM WRAP;
VAR A, B, C, D, E, F, G : INTEGER;
BEGIN
  A := 32767;
  A := A + 1;
  B := -32768;
  B := B - 1;
  C := 300 * 300;
  D := 200 * 200;
  E := 65535;
  F := 40000;
  G := 256 * 256;
  WRITE(A, B, C, D, E, F, G);
END.
