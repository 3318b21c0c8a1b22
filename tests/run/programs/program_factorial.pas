PROGRAM FACT;
VAR I, F : INTEGER;
BEGIN
  F := 1;
  FOR I := 1 TO 8 DO
  BEGIN
    F := F * I;
    WRITE(F);
  END;
END.
