FAMILY A;
A.insert(A);
FAMILY B;
B.insert(B);
FAMILY C;
C.insert(C);
FAMILY K =PLUS(A, B);
FAMILY J =DOT(K, A);
