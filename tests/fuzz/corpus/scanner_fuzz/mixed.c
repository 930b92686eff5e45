#ifdef __cplusplus
extern "C" {
#endif
#define X(a) \
  { a; }
/*/ { */ int g(int (*h)(void)) { // }
  c = '{';
}
}
int (*table[])(void) = { f, g };
