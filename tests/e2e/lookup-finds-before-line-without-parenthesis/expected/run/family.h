FAMILY A;
A.insert(a);
FAMILY K =a;
