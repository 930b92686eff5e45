int f(void)
{
    /* } */ char c = '}';
}
