names[1]="été";
names[2]="straße";
names[0]="1";
