bdd A = bdd_ithvar(1) ; // motor
bdd B = bdd_ithvar(2) ; // light
bdd C = bdd_ithvar(3) ; // horn
