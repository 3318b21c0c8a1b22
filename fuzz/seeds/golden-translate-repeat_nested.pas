PROGRAM REP;
VAR X, Y : INTEGER;
BEGIN
  REPEAT
    REPEAT
      Y := Y + 1;
    UNTIL Y;
    X := X - Y;
  UNTIL NOT X;
END.
