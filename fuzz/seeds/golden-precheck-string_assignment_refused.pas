PROGRAM P;
VAR s : STRING;
BEGIN
  s := 'abc';
END.
