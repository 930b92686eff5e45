char *s = "abc\
/* x */ int f(void) {}
// a \
{
#include <x.h> /* c */ int g(void) { /* }