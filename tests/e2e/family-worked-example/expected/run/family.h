FAMILY A;
A.insert(a);
FAMILY MOTOR;
MOTOR.insert(Motor);
FAMILY B;
B.insert(b);
FAMILY K =PLUS(A, B);
FAMILY M =DOT(K, A);
