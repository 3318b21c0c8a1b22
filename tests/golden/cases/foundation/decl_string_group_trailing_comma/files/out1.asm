@@HEADER@@
 _S DB  256 dup (?)
 _T DB  256 dup (?)
@@CODESTART@@
@@EXIT@@
@@RUNTIME@@
