PROGRAM P;
VAR a, b : INTEGER;
BEGIN
  IF(a>b) THEN b := a;
END.
