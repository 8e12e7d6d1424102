FAMILY PUMP;
PUMP.insert(Pump);
