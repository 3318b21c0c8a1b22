PROGRAM WHILES;
VAR I, J, S : INTEGER;
BEGIN
  I := 1;
  S := 0;
  WHILE I <= 10 DO
  BEGIN
    S := S + I;
    I := I + 1;
  END;
  WRITE(S, I);
  WHILE I < 0 DO I := I + 1;
  WRITE(I);
  I := 1;
  S := 0;
  WHILE I <= 3 DO
  BEGIN
    J := 1;
    WHILE J <= I DO
    BEGIN
      S := S + I * J;
      J := J + 1;
    END;
    I := I + 1;
  END;
  WRITE(S);
END.
