FAMILY ﻿(A;
﻿(A.insert(﻿(a);
FAMILY B;
B.insert(b);
FAMILY K =PLUS(A, B);
