bdd a = bdd_ithvar(1) ; // x
bdd c = bdd_ithvar(2) ; // z
