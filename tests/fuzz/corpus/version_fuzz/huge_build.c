a
b

c

char VersionString[]="Ver 99.99.99.99 - Build 99999999999999999999";
