int f(a, b)
int a;
char *b;
{
    return a;
}
static int
count(const char *s) __acquires(x)
{
}
