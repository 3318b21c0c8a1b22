PROGRAM ARITH;
VAR A, B, C, X : INTEGER;
BEGIN
  X := A - B;
  X := A / B;
  X := A - B * C / 2;
  X := -5;
  X := -A * B;
  X := +A;
  X := -(A + B);
  X := (A);
END.
