static int
f(char *s)
{
  if (s) {
    s = "}\\\"";
  }
}
