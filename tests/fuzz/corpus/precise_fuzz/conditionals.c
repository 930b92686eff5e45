#ifdef X
int twice(int a) {
#else
int twice(int a, int b) {
#endif
    return 0;
}
#if 0
}}} don't
#elif 0
{
#else
int live(void) { }
#endif
