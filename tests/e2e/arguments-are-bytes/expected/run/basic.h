bdd a = bdd_ithvar(1) ; // first
