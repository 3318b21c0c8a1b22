PROGRAM P;
BEGIN
END.
{ a { b }
