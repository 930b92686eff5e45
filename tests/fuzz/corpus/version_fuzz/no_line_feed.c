a
b

c

char VersionString[]="Ver 00.00.00.01 - Build 0001";