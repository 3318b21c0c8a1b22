PROGRAM LIT;
VAR A : INTEGER;
BEGIN
  A := 5;
  WRITE('Line one "quoted"{ a comment }
Второй: xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx', A);
END.
