names[1]="Pump";
names[0]="1";
