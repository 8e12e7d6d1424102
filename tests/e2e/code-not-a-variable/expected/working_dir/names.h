names[1]="a";
names[2]="V2a";
names[0]="1";
