PROGRAM NUMBERS;
VAR X : INTEGER;
BEGIN
  X := 0;
  X := 007;
  X := 32767;
  X := 32768;
  X := 65535;
  X := -32768;
  X := -65535;
END.
