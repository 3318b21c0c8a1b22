PROGRAM P;
VAR a : INTEGER;
BEGIN
  IF a > 0
  THEN
    a := 1;
  a := 2
END.
