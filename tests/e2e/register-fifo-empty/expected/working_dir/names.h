names[0]="1";
