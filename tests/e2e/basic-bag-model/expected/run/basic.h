bdd A = set2bag( bdd_ithvar(1)) ; // motor
bdd B = set2bag( bdd_ithvar(2)) ; // light
bdd C = set2bag( bdd_ithvar(3)) ; // horn
