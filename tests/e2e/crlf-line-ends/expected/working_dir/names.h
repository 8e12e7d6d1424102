names[1]="A";
names[2]="B";
names[0]="1";
