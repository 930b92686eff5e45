DEFINE_X(a)
static int baz(void) {
}
TABLE(t)
{ 1, 2 };
TABLE2(t) = { 1 };
extern "C" {
void (*signal(int s, void (*fn)(int)))(int) { }
}
static TARGET("x") size_t g(int a)
{
}
