PROGRAM P;
VAR a, b : INTEGER;
BEGIN
  IF {c} a > b THEN a := 1;
END.
