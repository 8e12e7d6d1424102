bdd a = bdd_ithvar(1) ; // x
bdd b = bdd_ithvar(2) ; // y
