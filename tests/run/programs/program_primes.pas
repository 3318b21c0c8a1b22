PROGRAM PRIMES;
VAR N, D, P : INTEGER;
BEGIN
  FOR N := 2 TO 30 DO
  BEGIN
    P := 1;
    D := 2;
    WHILE (D * D <= N) AND (P = 1) DO
    BEGIN
      IF N - N / D * D = 0 THEN P := 0 ELSE P := 1;
      D := D + 1;
    END;
    IF P = 1 THEN WRITE(N) ELSE P := 0;
  END;
END.
