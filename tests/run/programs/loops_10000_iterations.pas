PROGRAM LONGLOOP;
VAR I, K, S, T : INTEGER;
BEGIN
  S := 0;
  K := 0;
  FOR I := 1 TO 10000 DO
  BEGIN
    S := S + I;
    K := K + 1;
    T := (K + 1) * 2;
  END;
  WRITE(S, K, T);
  I := 0;
  WHILE I < 10000 DO I := I + 1;
  WRITE(I);
  REPEAT
    I := I - 1;
    K := I;
  UNTIL I = 0;
  WRITE(K);
END.
