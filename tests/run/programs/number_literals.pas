PROGRAM NUMS;
VAR A, B, C, D, E, F : INTEGER;
BEGIN
  A := 32767;
  B := 32768;
  C := 00012;
  D := -32768;
  E := 0;
  F := 65535 + 2;
  WRITE(A, B, C, D, E, F);
END.
