PROGRAM WHAND;
VAR I, S : INTEGER;
BEGIN
  I := 0;
  S := 0;
  WHILE (I < 10) AND (S < 20) DO
  BEGIN
    I := I + 1;
    S := S + I;
  END;
  WRITE(I, S);
END.
