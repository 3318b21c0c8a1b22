PROGRAM FORS;
VAR I, J, X : INTEGER;
BEGIN
  FOR I := X - 1 TO X + 1 DO
  BEGIN
    FOR J := I TO 3 DO X := J;
    X := X * I;
  END;
END.
