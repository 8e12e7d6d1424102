bdd été = bdd_ithvar(1) ; // summer ☀
bdd straße = bdd_ithvar(2) ; // street
