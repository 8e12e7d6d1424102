bdd Pump = bdd_ithvar(1) ; // a pump
