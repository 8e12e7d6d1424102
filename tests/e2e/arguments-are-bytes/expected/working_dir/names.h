names[1]="a";
names[0]="1";
