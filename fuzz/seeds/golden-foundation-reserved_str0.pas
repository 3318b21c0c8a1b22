PROGRAM P;
var str, str0 : string;
BEGIN
END.
