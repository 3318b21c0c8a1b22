PROGRAM HELLO;
VAR S : INTEGER;
BEGIN
  S := 7 * 6;
  WRITE('The answer is ', S);
END.
