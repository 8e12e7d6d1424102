bdd A = bdd_ithvar(1) ; // x
