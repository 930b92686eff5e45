#define M(a) \
    { /* over
   lines } */ a }
#include <x.h> /* {
 */
#error don't {
int f(void) {
#define X }
}
