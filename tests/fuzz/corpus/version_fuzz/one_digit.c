a
b

c

char VersionString[]="Ver 1.02.03.04 - Build 0001";
