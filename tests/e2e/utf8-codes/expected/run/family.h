FAMILY ÉTÉ;
ÉTÉ.insert(été);
FAMILY STRAßE;
STRAßE.insert(straße);
FAMILY K =PLUS(oneSet, zeroSet);
