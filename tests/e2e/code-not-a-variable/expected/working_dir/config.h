const int occ_bitsize = 4; // The number of bits to encod occurances
int model = 0; // 0 for set, 1 for bag, others implemented later.
int number_of_vars = 4 + 2; // the needed number of bdd variables
