}
int f(a)
int a;
{
}
int f(void)
#if X
{
#else
{
#endif
}
