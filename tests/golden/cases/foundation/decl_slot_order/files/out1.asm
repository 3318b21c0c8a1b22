@@HEADER@@
 _AAQ DW ?
 _A DW ?
 _X DW ?
 _I1 DW ?
 _COUNT DW ?
@@CODESTART@@
@@EXIT@@
@@RUNTIME@@
