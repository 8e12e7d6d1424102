const int occ_bitsize = È√©; // The number of bits to encod occurances
int model = 0; // 0 for set, 1 for bag, others implemented later.
int number_of_vars = È√© + 1; // the needed number of bdd variables
