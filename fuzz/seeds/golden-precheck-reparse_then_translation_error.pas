PROGRAM P;
VAR a : INTEGER;
BEGIN
  IF a > 0 THEN a := 1;
  a := x;
END.
