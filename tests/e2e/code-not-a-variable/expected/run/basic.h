bdd a = bdd_ithvar(1) ; // x
bdd V2a = bdd_ithvar(2) ; // y
