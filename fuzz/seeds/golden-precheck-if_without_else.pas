PROGRAM P;
VAR a, b : INTEGER;
BEGIN
  IF a > b THEN a := 1;
END.
