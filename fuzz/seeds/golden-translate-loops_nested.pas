PROGRAM FLOW;
VAR I, N, X : INTEGER;
BEGIN
  WHILE I < N DO
  BEGIN
    IF X = 0 THEN X := 1 ELSE
      IF X = 1 THEN X := 2 ELSE X := 0;
    I := I + 1;
  END;
  REPEAT
    FOR I := 1 TO N DO X := X + I;
    N := N - 1;
  UNTIL X > N;
END.
