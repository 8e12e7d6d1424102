bdd a = bdd_ithvar(1) ; // first
bdd c = bdd_ithvar(2) ; // last
