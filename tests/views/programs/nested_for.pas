PROGRAM NEST;
VAR I, J, S : INTEGER;
BEGIN
  S := 0;
  FOR I := 1 TO 2 DO
    FOR J := 1 TO 3 DO S := S + I * J;
  WRITE(S);
END.
