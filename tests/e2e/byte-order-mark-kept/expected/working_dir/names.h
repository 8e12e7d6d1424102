names[1]="﻿(a";
names[2]="b";
names[0]="1";
