names[1]="A";
names[2]="B";
names[3]="C";
names[0]="1";
