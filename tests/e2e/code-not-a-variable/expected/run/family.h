FAMILY A;
A.insert(a);
FAMILY V2A;
V2A.insert(V2a);
