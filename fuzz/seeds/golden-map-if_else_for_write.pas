PROGRAM Map;
VAR a, b : INTEGER;
BEGIN
  READ(a);
  IF a > 1 THEN b := a ELSE WRITE('no', a);
  FOR b := 1 TO a DO WRITE(b);
END.
