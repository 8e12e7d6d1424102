bdd ﻿(a = bdd_ithvar(1) ; // first
bdd b = bdd_ithvar(2) ; // second
