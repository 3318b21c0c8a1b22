PROGRAM RELOPS;
VAR A, B, X : INTEGER;
BEGIN
  X := A = B;
  X := A < B;
  X := A > B;
  X := A <= B;
  X := A >= B;
  X := A <> B;
END.
