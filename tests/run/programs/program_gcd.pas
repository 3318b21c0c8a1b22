PROGRAM GCD;
VAR A, B, T : INTEGER;
BEGIN
  REPEAT
    READ(A, B);
    WHILE B <> 0 DO
    BEGIN
      T := A - A / B * B;
      A := B;
      B := T;
    END;
    WRITE(A);
  UNTIL A = 1;
END.
