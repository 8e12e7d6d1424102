names[1]="a";
names[2]="Motor";
names[3]="b";
names[0]="1";
