PROGRAM P;
VAR s : STRING;
BEGIN
  WRITE(s);
  s := 'abc';
END.
