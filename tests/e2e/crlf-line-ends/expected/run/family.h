FAMILY A;
A.insert(A);
FAMILY B;
B.insert(B);
FAMILY K =PLUS(A, B);
