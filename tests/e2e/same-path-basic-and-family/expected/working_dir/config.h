const int occ_bitsize = 2; // The number of bits to encod occurances
int model = 1; // 0 for set, 1 for bag, others implemented later.
int number_of_vars = 2 + 3; // the needed number of bdd variables
