bdd a = bdd_ithvar(1) ; // first
bdd Motor = bdd_ithvar(2) ; // motor
bdd b = bdd_ithvar(3) ; // second
