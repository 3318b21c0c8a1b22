PROGRAM UNK;
VAR A : INTEGER;
BEGIN
  A := 1;
  A := A + Q;
END.
