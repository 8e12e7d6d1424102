FAMILY A;
A.insert(a);
FAMILY C;
C.insert(c);
FAMILY K =PLUS(A, C);
