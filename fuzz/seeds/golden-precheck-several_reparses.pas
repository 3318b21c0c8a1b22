PROGRAM SEV;
VAR a, t : INTEGER;
BEGIN
  a := 5;
  IF a > 0 THEN t := a;
  WRITE('Total', t);
  WHILE a > 3 DO
    IF a > 0 THEN a := a - 1;
  WRITE('Done');
END.
