PROGRAM NESTIF;
VAR A, B, X, N : INTEGER;
BEGIN
  N := 0;
  WHILE N < 4 DO
  BEGIN
    READ(A, B);
    IF A > 0 THEN
      IF B > 0 THEN X := 1 ELSE X := 2
    ELSE
      IF B > 0 THEN X := 3 ELSE X := 4;
    WRITE(X);
    N := N + 1;
  END;
END.
