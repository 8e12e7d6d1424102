bdd A = set2bag( bdd_ithvar(1)) ; // motor
bdd B = set2bag( bdd_ithvar(2)) ; // light
bdd C = set2bag( bdd_ithvar(3)) ; // horn
FAMILY A;
A.insert(A);
FAMILY B;
B.insert(B);
FAMILY C;
C.insert(C);
FAMILY K =PLUS(A, B);
FAMILY J =DOT(K, A);
