PROGRAM BLOCKS;
VAR A, B : INTEGER;
BEGIN
  IF A > B THEN
  BEGIN
    A := B;
    B := 0;
  END
  ELSE
  BEGIN
    IF B >= A THEN B := A ELSE A := B;
  END;
END.
