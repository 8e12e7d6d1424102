names[1]="a";
names[2]="c";
names[0]="1";
