a
b

#include "v.h"

char VersionString[]="Ver 00.00.00.01 - Build 12345";
