FAMILY A;
A.insert(a);
