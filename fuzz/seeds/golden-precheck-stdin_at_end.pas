PROGRAM P;
VAR a : INTEGER;
BEGIN
  WRITE('Hi');
  a := 'x';
END.
